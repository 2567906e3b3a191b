// The CLIPBOARD selection of the test X display: what the lander's restore rule rests on.
// gtest first: the X headers define None and other short macros.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/linux/x11/X11Clipboard.h"
#include "support/BackgroundProgram.h"
#include "support/Eventually.h"
#include "support/Run.h"
#include "support/Services.h"

namespace {

using namespace std::chrono_literals;

// xclip serving the text for as long as it owns the clipboard.
BackgroundProgram copied(const std::string& text) {
  return BackgroundProgram("sh", {"-c", "head -c " + std::to_string(text.size()) +
                                            " /dev/zero | tr '\\0' x | exec xclip -quiet "
                                            "-selection clipboard >/dev/null 2>&1"});
}

// Time for a notice that must not come (of our own change) to have come.
void settle() { std::this_thread::sleep_for(300ms); }

TEST(X11ClipboardE2e, OwnChangesCountOnceAndOthersCountToo) {
  requireServices();
  X11Clipboard board;
  board.write(board.textFlavors("ours"));
  const auto afterWrite = board.changeCount();
  settle();  // the owner notice of our own write has come by now
  EXPECT_EQ(board.changeCount(), afterWrite);
  EXPECT_TRUE(board.hasContents());
  EXPECT_EQ(board.types(), (std::vector<std::string>{"UTF8_STRING", "STRING", "TEXT",
                                                     "text/plain;charset=utf-8"}));
  EXPECT_EQ(board.read("UTF8_STRING"), "ours");
  EXPECT_FALSE(board.read("image/png"));

  board.clear();
  const auto afterClear = board.changeCount();
  EXPECT_EQ(afterClear, afterWrite + 1);
  settle();
  EXPECT_EQ(board.changeCount(), afterClear);
  EXPECT_FALSE(board.hasContents());

  auto other = copied("theirs");
  EXPECT_TRUE(eventually([&] { return board.changeCount() > afterClear; }));
  EXPECT_EQ(board.read("UTF8_STRING"), "xxxxxx");
}

TEST(X11ClipboardE2e, LargeContentsAreReadInPieces) {
  requireServices();
  X11Clipboard board;
  const std::string large(1 << 20, 'x');  // beyond one request (256 KiB): xclip sends it incrementally
  auto other = copied(large);
  // Served once another reader gets it all.
  eventually([&] {
    return runProgram("/usr/bin/xclip", {"-o", "-selection", "clipboard"}).out.size() == large.size();
  });
  auto contents = board.read("UTF8_STRING");
  ASSERT_TRUE(contents);
  EXPECT_EQ(contents->size(), large.size());
}

}  // namespace
