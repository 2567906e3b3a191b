// The paste keys read from the layouts xkbcommon compiles, as a virtual keyboard uploads them.
#include "platform/linux/wayland/XkbKeymap.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include "landing/lander/PasteKeystroke.h"

namespace {

TEST(XkbKeymap, ThePasteKeyIsTheKeyThatTypesV) {
  struct Case {
    const char* layout;
    const char* variant;
    unsigned v;  // the kernel code of the key typing "v"
  };
  const Case cases[] = {{"us", "", KEY_V}, {"de", "", KEY_V}, {"fr", "", KEY_V},
                        {"us", "dvorak", KEY_DOT}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.layout) + "(" + c.variant + ")");
    auto keymap = XkbKeymap::fromNames(c.layout, c.variant);
    ASSERT_TRUE(keymap);
    // What a compositor hands back compiles to the same keys.
    auto uploaded = XkbKeymap::fromText(keymap->text());
    ASSERT_TRUE(uploaded);
    for (const auto& keys : {keymap->pasteKeys(), uploaded->pasteKeys()}) {
      EXPECT_EQ(XkbKeymap::kernelCode(pasteKeyCode(keys)), c.v);
      EXPECT_EQ(XkbKeymap::kernelCode(keys.vPosition), KEY_V);
      EXPECT_EQ(XkbKeymap::kernelCode(keys.control), KEY_LEFTCTRL);
      EXPECT_EQ(XkbKeymap::kernelCode(keys.shift), KEY_LEFTSHIFT);
    }
  }
}

TEST(XkbKeymap, UnknownNamesAndBrokenTextGiveNoKeymap) {
  EXPECT_FALSE(XkbKeymap::fromText("xkb_keymap { nonsense"));
  EXPECT_FALSE(XkbKeymap::fromText(""));
}

}  // namespace
