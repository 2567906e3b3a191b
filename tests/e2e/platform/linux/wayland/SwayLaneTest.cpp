// The wayland module's keyboard and clipboard on a headless sway (run inside
// tests/services/wayland-session.sh sway): data-control read, written and put back as the
// lander does, and the paste keystroke of the virtual keyboard landing in a GTK entry.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "landing/lander/PasteKeystroke.h"
#include "landing/lander/Pasteboard.h"
#include "platform/linux/swayipc/SwayWindowList.h"
#include "platform/linux/wayland/DataControlClipboard.h"
#include "platform/linux/wayland/VirtualKeyboardInput.h"
#include "support/Files.h"
#include "support/BackgroundProgram.h"
#include "support/Eventually.h"
#include "support/Run.h"
#include "support/Scratch.h"

namespace {

using namespace std::chrono_literals;

class SwayLane : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* lane = std::getenv("VESK_WAYLAND_LANE");
    if (!lane || std::string(lane) != "sway") {
      GTEST_SKIP() << "runs inside tests/services/wayland-session.sh sway";
    }
  }

  // Another application owning the clipboard: wl-copy, which stays behind as its own server.
  // It reads the contents from a file: runProgram stops feeding input once output closes.
  // Returns once the compositor has told the board.
  void copy(DataControlClipboard& board, const std::string& type, const std::string& data) {
    const auto before = board.changeCount();
    const auto file = scratch_.root() / "copied";
    std::ofstream(file, std::ios::binary) << data;
    RunOptions options;
    options.timeoutSeconds = 10;
    runProgram("/bin/sh", {"-c", "exec wl-copy --type '" + type + "' <" + file.string() +
                                     " >/dev/null 2>&1"},
               options);
    eventually([&] { return board.changeCount() != before; }, 3s, 10ms);
  }
  const Scratch& scratch() const { return scratch_; }

 private:
  Scratch scratch_;
};

std::string pasted(const std::string& type) {
  RunOptions options;
  options.timeoutSeconds = 10;
  return runProgram("/usr/bin/wl-paste", {"--no-newline", "--type", type}, options).out;
}

using SwayLaneDataControl = SwayLane;

TEST_F(SwayLaneDataControl, OwnChangesCountOnceAndOthersCountToo) {
  DataControlClipboard board;
  ASSERT_TRUE(board.available());
  copy(board, "text/plain;charset=utf-8", "theirs");
  ASSERT_TRUE(board.hasContents());
  const auto start = board.changeCount();

  board.write({{"text/x-ours", "ours"}, {"application/x-more", "more"}});
  const auto afterWrite = board.changeCount();
  EXPECT_EQ(afterWrite, start + 1);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(board.changeCount(), afterWrite);
  EXPECT_EQ(board.types(), (std::vector<std::string>{"text/x-ours", "application/x-more"}));
  EXPECT_EQ(board.read("application/x-more"), "more");
  EXPECT_EQ(pasted("text/x-ours"), "ours");
  EXPECT_FALSE(board.read("image/png"));

  board.clear();
  EXPECT_EQ(board.changeCount(), afterWrite + 1);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(board.changeCount(), afterWrite + 1);
  EXPECT_FALSE(board.hasContents());
  board.clear();  // nothing left to clear: still counted, and nothing else is
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(board.changeCount(), afterWrite + 2);

  copy(board, "text/plain", "again");
  EXPECT_EQ(board.changeCount(), afterWrite + 3);
  EXPECT_EQ(board.read("text/plain"), "again");
}

TEST_F(SwayLaneDataControl, EveryOfferedTypeIsPutBackAfterAPaste) {
  DataControlClipboard board;
  ASSERT_TRUE(board.available());
  struct Owner {
    std::string type;
    std::string data;
  };
  const std::string binary("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
  const std::string large(1 << 20, 'x');  // beyond a pipe's buffer, both ways
  for (const auto& owner : {Owner{"text/plain;charset=utf-8", "the user's own"},
                            Owner{"image/png", binary}, Owner{"text/html", large}}) {
    SCOPED_TRACE(owner.type);
    copy(board, owner.type, owner.data);
    const auto offered = board.types();
    ASSERT_FALSE(offered.empty());
    const SavedClipboard saved = snapshot(board);
    ASSERT_EQ(saved.size(), offered.size());

    writeForPaste("dictated", board);
    EXPECT_EQ(pasted("text/plain;charset=utf-8"), "dictated");
    EXPECT_EQ(pasted("x-kde-passwordManagerHint"), "secret");

    restore(saved, board);
    EXPECT_EQ(board.types(), offered);
    for (const auto& flavor : saved) EXPECT_EQ(pasted(flavor.type), flavor.data) << flavor.type;
    EXPECT_EQ(pasted(owner.type).size(), owner.data.size());
  }
}

// The GTK entry window of the test services, its changes written to a file.
class EntryWindow {
 public:
  explicit EntryWindow(const Scratch& scratch)
      : output_(scratch.root() / "entry.out"),
        program_("/bin/sh", {"-c", "exec /usr/bin/python3 " VESK_SOURCE_DIR
                                   "/tests/services/entry-window.py plain > " +
                                       output_.string() + " 2>/dev/null"}) {}

  // Waits until the window has printed this line.
  bool shows(const std::string& line, std::chrono::milliseconds limit = 5s) {
    return eventually(
        [&] {
          std::ifstream in(output_);
          for (std::string seen; std::getline(in, seen);) {
            if (seen == line) return true;
          }
          return false;
        },
        limit);
  }
  long pid() const { return program_.pid(); }
  std::string output() const { return fileText(output_); }

 private:
  std::filesystem::path output_;
  BackgroundProgram program_;
};

using SwayLaneVirtualKeyboard = SwayLane;

TEST_F(SwayLaneVirtualKeyboard, ControlVPastesTheClipboardEveryTime) {
  DataControlClipboard board;
  ASSERT_TRUE(board.available());
  // The seat needs a keyboard for the window to take focus: the virtual one, made first.
  VirtualKeyboardInput input;
  ASSERT_TRUE(input.available());
  EntryWindow window(scratch());
  ASSERT_TRUE(window.shows("ready"));
  SwayWindowList windows;
  EXPECT_TRUE(eventually([&] {
    auto front = windows.activeWindow();
    return front && front->pid == window.pid();
  })) << "the entry window was never focused";

  auto keys = input.pasteKeys();
  ASSERT_TRUE(keys);
  const auto steps = pasteSteps(*keys, pasteKeyCode(*keys), false);
  std::string text;
  for (int paste = 1; paste <= 5; ++paste) {
    // Appended rather than "P" + text: GCC 12 warns of an overlapping copy there (-Wrestrict).
    const std::string piece = std::string("P").append(std::to_string(paste)).append("-");
    writeForPaste(piece, board);
    ASSERT_TRUE(input.post(steps));
    text += piece;
    EXPECT_TRUE(window.shows("changed plain '" + text + "'")) << window.output();
  }
}

// The user's layout is the seat's: a keyboard already on the seat (here a first virtual one,
// laid out as dvorak) decides it, whatever the environment names.
TEST_F(SwayLaneVirtualKeyboard, TheSeatsOwnKeymapIsTheOneUploaded) {
  setenv("XKB_DEFAULT_LAYOUT", "us", 1);
  setenv("XKB_DEFAULT_VARIANT", "dvorak", 1);
  VirtualKeyboardInput users;
  const bool made = users.available();
  unsetenv("XKB_DEFAULT_LAYOUT");
  unsetenv("XKB_DEFAULT_VARIANT");
  ASSERT_TRUE(made);

  VirtualKeyboardInput ours;
  auto keys = ours.pasteKeys();
  ASSERT_TRUE(keys);
  EXPECT_EQ(pasteKeyCode(*keys), 52u + 8);  // "v" on dvorak: the key at the "." position
}

}  // namespace
