// Without a compositor the wayland backends say so at the probe, and every later call fails
// softly instead of waiting or counting changes that never happened.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/linux/wayland/DataControlClipboard.h"
#include "platform/linux/wayland/VirtualKeyboardInput.h"

namespace {

class NoCompositor : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"}) {
      const char* value = getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    setenv("WAYLAND_DISPLAY", "vesk-no-compositor", 1);
    setenv("XDG_RUNTIME_DIR", std::filesystem::temp_directory_path().c_str(), 1);
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(NoCompositor, TheVirtualKeyboardIsUnavailable) {
  VirtualKeyboardInput input;
  EXPECT_FALSE(input.available());
  EXPECT_FALSE(input.pasteKeys());
  EXPECT_FALSE(input.post({{55, true}, {55, false}}));
}

TEST_F(NoCompositor, TheClipboardIsUnavailableAndNothingChanges) {
  DataControlClipboard board;
  EXPECT_FALSE(board.available());
  EXPECT_FALSE(board.hasContents());
  EXPECT_TRUE(board.types().empty());
  EXPECT_FALSE(board.read("text/plain"));
  board.write(board.textFlavors("lost"));
  board.clear();
  EXPECT_EQ(board.changeCount(), 0u);
  board.keepAfterExit();
}

}  // namespace
