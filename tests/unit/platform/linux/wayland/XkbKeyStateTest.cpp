// The modifiers a virtual keyboard reports beside its keys: without them clients would see a
// bare "v" where Control+V was pressed.
#include "platform/linux/wayland/XkbKeyState.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

constexpr unsigned CONTROL = 29 + 8, SHIFT = 42 + 8, V = 47 + 8, CAPS_LOCK = 58 + 8;
constexpr std::uint32_t SHIFT_MASK = 1, LOCK_MASK = 2, CONTROL_MASK = 4;

using Mods = XkbKeyState::Modifiers;

TEST(XkbKeyState, ModifiersFollowTheKeysThatChangeThem) {
  auto keymap = XkbKeymap::fromNames("us");
  ASSERT_TRUE(keymap);
  XkbKeyState state(*keymap);
  struct Step {
    unsigned code;
    bool down;
    std::optional<Mods> reported;
  };
  const Step steps[] = {
      {CONTROL, true, Mods{CONTROL_MASK, 0, 0, 0}},
      {SHIFT, true, Mods{CONTROL_MASK | SHIFT_MASK, 0, 0, 0}},
      {V, true, std::nullopt},
      {V, false, std::nullopt},
      {SHIFT, false, Mods{CONTROL_MASK, 0, 0, 0}},
      {CONTROL, false, Mods{0, 0, 0, 0}},
      {CAPS_LOCK, true, Mods{LOCK_MASK, 0, LOCK_MASK, 0}},
      {CAPS_LOCK, false, Mods{0, 0, LOCK_MASK, 0}},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(::testing::Message() << "key " << step.code << (step.down ? " down" : " up"));
    EXPECT_EQ(state.press(step.code, step.down), step.reported);
  }
}

}  // namespace
