#include "landing/watcher/HoldWatcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/FakeLater.h"

namespace {

using Phase = HoldWatcher::Phase;
using Type = InputEvent::Type;
using namespace ModifierBit;
constexpr std::chrono::duration<double> DELAY{0.2};
constexpr std::chrono::duration<double> OWN_WAIT{1.0};
constexpr unsigned CONTROL_L = 37, CONTROL_R = 105, SHIFT_L = 50, ALT_L = 64, ALT_R = 108,
                   KEY_V = 55, KEY_A = 38, ESCAPE = 9;

InputEvent flags(unsigned code, KeyName key, bool down, unsigned modifiers) {
  return {Type::FlagsChanged, code, down, key, modifiers};
}
InputEvent keyDown(unsigned code, KeyName key = KeyName::Other) {
  return {Type::KeyDown, code, true, key, 0};
}

// A watcher whose callbacks write their names into calls.
struct Watch {
  FakeLater later;
  std::vector<std::string> calls;
  bool accept = true;
  bool withStray = true;
  std::unique_ptr<HoldWatcher> watcher;

  explicit Watch(HeldKey key = HeldKey(HeldKey::Which::Control), bool stray = true) {
    withStray = stray;
    HoldWatcher::Callbacks callbacks{
        [this] {
          calls.push_back("held");
          return accept;
        },
        [this] { calls.push_back("up"); }, [this] { calls.push_back("cancel"); },
        nullptr, [this] { calls.push_back("escape"); }};
    if (withStray) callbacks.onStray = [this] { calls.push_back("stray"); };
    watcher = std::make_unique<HoldWatcher>(key, DELAY, OWN_WAIT, later, callbacks);
  }

  void see(const InputEvent& event) { watcher->see(event); }
  void controlDown(unsigned extra = 0) {
    see(flags(CONTROL_L, KeyName::ControlLeft, true, CONTROL | extra));
  }
  void controlUp() { see(flags(CONTROL_L, KeyName::ControlLeft, false, 0)); }

  // Brings the watcher into the phase the way real input would.
  void reach(Phase phase) {
    if (phase == Phase::Idle) return;
    controlDown();
    if (phase == Phase::Waiting) return;
    accept = phase == Phase::Holding;
    later.fire(DELAY);
    calls.clear();
    accept = true;
  }
};

const char* name(Phase phase) {
  switch (phase) {
    case Phase::Idle: return "idle";
    case Phase::Waiting: return "waiting";
    case Phase::Holding: return "holding";
    case Phase::Spent: return "spent";
  }
  return "?";
}

struct KeyChangedRow {
  Phase from;
  unsigned modifiers;  // after the change
  Phase to;
  std::vector<std::string> calls;
  bool checkPending;  // whether the delayed check is still to come
};

TEST(HoldWatcher, KeyChangedFollowsItsTable) {
  const std::vector<KeyChangedRow> rows = {
      {Phase::Idle, 0, Phase::Idle, {}, false},
      {Phase::Idle, CONTROL, Phase::Waiting, {}, true},
      {Phase::Idle, CONTROL | SHIFT, Phase::Spent, {}, false},
      {Phase::Waiting, CONTROL, Phase::Waiting, {}, true},
      {Phase::Waiting, 0, Phase::Idle, {}, false},
      {Phase::Holding, CONTROL, Phase::Holding, {}, false},
      {Phase::Holding, 0, Phase::Idle, {"up"}, false},
      {Phase::Spent, CONTROL, Phase::Spent, {}, false},
      {Phase::Spent, 0, Phase::Idle, {}, false},
  };
  for (const auto& row : rows) {
    Watch w;
    w.reach(row.from);
    w.watcher->keyChanged(row.modifiers);
    SCOPED_TRACE(std::string(name(row.from)) + " with modifiers " + std::to_string(row.modifiers));
    EXPECT_EQ(w.watcher->phase(), row.to);
    EXPECT_EQ(w.calls, row.calls);
    EXPECT_EQ(w.later.live(), row.checkPending ? 1 : 0);
  }
}

TEST(HoldWatcher, InterruptionAndEscapeFollowTheirTables) {
  struct Row {
    Phase from;
    bool escape;
    bool stray;  // an onStray is given
    Phase to;
    std::vector<std::string> calls;
  };
  const std::vector<Row> rows = {
      {Phase::Idle, false, true, Phase::Idle, {}},
      {Phase::Waiting, false, true, Phase::Spent, {}},
      {Phase::Holding, false, true, Phase::Spent, {"stray"}},
      {Phase::Holding, false, false, Phase::Spent, {"cancel"}},
      {Phase::Spent, false, true, Phase::Spent, {}},
      {Phase::Idle, true, true, Phase::Idle, {"escape"}},
      {Phase::Waiting, true, true, Phase::Spent, {"escape"}},
      {Phase::Holding, true, true, Phase::Spent, {"cancel"}},
      {Phase::Spent, true, true, Phase::Spent, {"escape"}},
  };
  for (const auto& row : rows) {
    Watch w(HeldKey(HeldKey::Which::Control), row.stray);
    w.reach(row.from);
    w.see(row.escape ? keyDown(ESCAPE, KeyName::Escape) : keyDown(KEY_A));
    SCOPED_TRACE(std::string(name(row.from)) + (row.escape ? " escape" : " letter"));
    EXPECT_EQ(w.watcher->phase(), row.to);
    EXPECT_EQ(w.calls, row.calls);
    // An abandoned wait never asks onHeld.
    w.later.fire();
    EXPECT_EQ(w.calls, row.calls);
  }
}

TEST(HoldWatcher, AHoldIsAskedOnceAfterTheDelayAndEndsOnce) {
  Watch w;
  w.controlDown();
  ASSERT_EQ(w.later.pending.size(), 1u);
  EXPECT_EQ(w.later.pending[0].delay, DELAY);
  w.later.fire();
  EXPECT_EQ(w.watcher->phase(), Phase::Holding);
  // The other Control key is the key's own change.
  w.see(flags(CONTROL_R, KeyName::ControlRight, true, CONTROL));
  w.see(flags(CONTROL_R, KeyName::ControlRight, false, CONTROL));
  w.controlUp();
  EXPECT_EQ(w.calls, (std::vector<std::string>{"held", "up"}));
  // After a stray the release is silent.
  w.calls.clear();
  w.reach(Phase::Holding);
  w.see({Type::MouseDown, 1, true, KeyName::Other, CONTROL});
  w.controlUp();
  EXPECT_EQ(w.calls, (std::vector<std::string>{"stray"}));
  EXPECT_EQ(w.watcher->phase(), Phase::Idle);
}

TEST(HoldWatcher, ForeignModifiersAbandonOrSpoil) {
  // Shift while waiting abandons the hold; Control with right-option is a foreign modifier.
  Watch control;
  control.controlDown();
  control.see(flags(SHIFT_L, KeyName::ShiftKey, true, CONTROL | SHIFT));
  EXPECT_EQ(control.watcher->phase(), Phase::Spent);

  Watch option(HeldKey(HeldKey::Which::RightOption));
  option.see(flags(ALT_L, KeyName::AltLeft, true, ALT_LEFT));
  option.see(flags(ALT_R, KeyName::AltRight, true, ALT_LEFT | ALT_RIGHT));
  EXPECT_EQ(option.watcher->phase(), Phase::Spent);  // the left Alt spoils it
  option.see(flags(ALT_R, KeyName::AltRight, false, ALT_LEFT));
  option.see(flags(ALT_L, KeyName::AltLeft, false, 0));
  option.see(flags(ALT_R, KeyName::AltRight, true, ALT_RIGHT));
  EXPECT_EQ(option.watcher->phase(), Phase::Waiting);
  option.later.fire();
  option.see(flags(CONTROL_L, KeyName::ControlLeft, true, ALT_RIGHT | CONTROL));
  EXPECT_EQ(option.calls, (std::vector<std::string>{"held", "stray"}));
}

TEST(HoldWatcher, OwnPasteKeysChangeNothingInAnyPhase) {
  const std::vector<KeyStep> steps = {{CONTROL_L, true}, {KEY_V, true}, {KEY_V, false},
                                      {CONTROL_L, false}};
  for (Phase phase : {Phase::Idle, Phase::Waiting, Phase::Holding, Phase::Spent}) {
    SCOPED_TRACE(name(phase));
    Watch w;
    w.reach(phase);
    w.watcher->expectOwn(steps);
    const unsigned held = phase == Phase::Idle ? 0 : CONTROL;
    w.see(flags(CONTROL_L, KeyName::ControlLeft, true, CONTROL));
    w.see(keyDown(KEY_V));
    w.see({Type::KeyUp, KEY_V, false, KeyName::Other, CONTROL});
    w.see(flags(CONTROL_L, KeyName::ControlLeft, false, held));
    EXPECT_EQ(w.watcher->phase(), phase);
    EXPECT_EQ(w.calls, std::vector<std::string>{});
    // Once seen, the same key again is the user's.
    w.see(keyDown(KEY_V));
    EXPECT_EQ(w.watcher->phase(), phase == Phase::Idle ? Phase::Idle : Phase::Spent);
  }
}

TEST(HoldWatcher, OwnKeysThatNeverCameAreForgotten) {
  Watch w;
  w.watcher->expectOwn({{KEY_V, true}});
  ASSERT_EQ(w.later.pending.size(), 1u);
  EXPECT_EQ(w.later.pending[0].delay, OWN_WAIT);
  w.later.fire(OWN_WAIT);
  w.reach(Phase::Holding);
  w.see(keyDown(KEY_V));
  EXPECT_EQ(w.calls, (std::vector<std::string>{"stray"}));
}

TEST(HeldKey, WordsKeysAndModifiers) {
  EXPECT_EQ(HeldKey::parse("control")->raw(), "control");
  EXPECT_EQ(HeldKey::parse("right-option")->raw(), "right-option");
  EXPECT_FALSE(HeldKey::parse("none"));
  EXPECT_FALSE(HeldKey::parse("Control"));
  const HeldKey control(HeldKey::Which::Control), option(HeldKey::Which::RightOption);
  EXPECT_TRUE(control.owns(KeyName::ControlLeft) && control.owns(KeyName::ControlRight));
  EXPECT_FALSE(control.owns(KeyName::AltRight));
  EXPECT_TRUE(option.owns(KeyName::AltRight));
  EXPECT_FALSE(option.owns(KeyName::AltLeft));
  EXPECT_TRUE(control.isAlone(CONTROL));
  EXPECT_FALSE(control.isAlone(CONTROL | ALT_RIGHT));
  EXPECT_FALSE(control.isAlone(CONTROL | SUPER));
  EXPECT_TRUE(option.isAlone(ALT_RIGHT));
  EXPECT_FALSE(option.isAlone(ALT_RIGHT | ALT_LEFT));
  EXPECT_FALSE(option.isAlone(ALT_RIGHT | CONTROL));
  EXPECT_TRUE(option.isDown(ALT_RIGHT));
  EXPECT_FALSE(option.isDown(ALT_LEFT));
}

}  // namespace
