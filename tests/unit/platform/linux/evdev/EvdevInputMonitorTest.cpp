#include "platform/linux/evdev/EvdevInputMonitor.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <unistd.h>

#include <condition_variable>
#include <fstream>
#include <map>
#include <mutex>

#include "support/Scratch.h"
#include "unit/platform/linux/evdev/RecordedEvents.h"

namespace {

using namespace std::chrono_literals;
using Type = InputEvent::Type;

// Device files in a scratch folder; opening one gives the read end of a pipe the test writes
// recorded events into, and closing the write end is the device going away.
class PipeDevices final : public KeyDevices {
 public:
  struct Device {
    bool keyboard = true;
    bool readable = true;
    std::vector<unsigned> keysDown;  // when opened, and when asked after dropped events
  };

  explicit PipeDevices(std::string folder) : folder_(std::move(folder)) {}

  // Adds the device file; the monitor may see it being made.
  void plug(const std::string& name, Device device) {
    {
      std::lock_guard lock(mutex_);
      devices_[folder_ + "/" + name] = std::move(device);
    }
    std::ofstream(folder_ + "/" + name).put('\n');
  }

  // Writes to the device's pipe once the monitor opened it.
  void send(const std::string& name, const std::vector<RecordedEvent>& events) {
    std::unique_lock lock(mutex_);
    ASSERT_TRUE(changed_.wait_for(lock, 5s, [&] { return writers_.count(folder_ + "/" + name); }));
    const auto bytes = recorded(events);
    ASSERT_EQ(write(writers_[folder_ + "/" + name].get(), bytes.data(), bytes.size()),
              static_cast<ssize_t>(bytes.size()));
  }

  void unplug(const std::string& name) {
    std::lock_guard lock(mutex_);
    writers_.erase(folder_ + "/" + name);
  }

  std::string folder() override { return folder_; }

  std::optional<KeyDevice> open(const std::string& path) override {
    std::lock_guard lock(mutex_);
    auto found = devices_.find(path);
    if (found == devices_.end() || !found->second.readable) return std::nullopt;
    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return std::nullopt;
    writers_[path] = UniqueFd(ends[1]);
    readers_[ends[0]] = path;
    changed_.notify_all();
    return KeyDevice{UniqueFd(ends[0]), found->second.keyboard, !found->second.keyboard,
                     found->second.keysDown};
  }

  std::vector<unsigned> keysDown(int fd) override {
    std::lock_guard lock(mutex_);
    return devices_[readers_[fd]].keysDown;
  }

 private:
  std::string folder_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, Device> devices_;
  std::map<std::string, UniqueFd> writers_;
  std::map<int, std::string> readers_;
};

class EvdevInputMonitorTest : public ::testing::Test {
 protected:
  EvdevInputMonitorTest() {
    auto owned = std::make_unique<PipeDevices>(scratch.root().string());
    devices = owned.get();
    monitor = std::make_unique<EvdevInputMonitor>(std::move(owned));
  }

  void start() {
    ASSERT_EQ(monitor->start([this](const InputEvent& event) {
      std::lock_guard lock(mutex);
      seen.push_back(event);
      arrived.notify_all();
    }), "");
  }

  std::vector<InputEvent> waitFor(std::size_t count) {
    std::unique_lock lock(mutex);
    arrived.wait_for(lock, 5s, [&] { return seen.size() >= count; });
    return seen;
  }

  Scratch scratch;
  PipeDevices* devices = nullptr;
  std::unique_ptr<EvdevInputMonitor> monitor;
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<InputEvent> seen;
};

TEST_F(EvdevInputMonitorTest, startsWithoutAnyReadableKeyboardAndSaysSo) {
  devices->plug("event0", {.readable = false, .keysDown = {}});
  devices->plug("event1", {.keyboard = false, .keysDown = {}});
  EXPECT_FALSE(monitor->available());
  start();
  devices->plug("event2", {});
  EXPECT_TRUE(monitor->available());
}

TEST_F(EvdevInputMonitorTest, readsEveryKeyboardIncludingOnesPluggedInLater) {
  devices->plug("event0", {.keysDown = {KEY_LEFTSHIFT}});  // Shift held before the start
  devices->plug("mouse0", {});                            // not an event device
  start();
  devices->send("event0", {{EV_KEY, KEY_A, 1}, {EV_SYN, SYN_REPORT, 0}});
  devices->plug("event3", {});
  devices->send("event3", {{EV_KEY, KEY_RIGHTALT, 1}, {EV_SYN, SYN_REPORT, 0}});
  auto events = waitFor(2);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].type, Type::KeyDown);
  EXPECT_EQ(events[0].modifiers, ModifierBit::SHIFT);
  EXPECT_EQ(events[1].key, KeyName::AltRight);
  EXPECT_EQ(events[1].modifiers, ModifierBit::SHIFT | ModifierBit::ALT_RIGHT);
}

TEST_F(EvdevInputMonitorTest, aKeyboardThatGoesAwayOrDropsEventsReleasesItsKeys) {
  devices->plug("event0", {});
  devices->plug("event1", {});
  start();
  devices->send("event0", {{EV_KEY, KEY_RIGHTALT, 1}, {EV_SYN, SYN_REPORT, 0}});
  devices->send("event1", {{EV_KEY, KEY_LEFTCTRL, 1}, {EV_SYN, SYN_REPORT, 0}});
  waitFor(2);
  devices->unplug("event0");
  waitFor(3);
  // event1's buffer overflowed while left Ctrl came up: the device says it holds nothing.
  devices->send("event1", {{EV_SYN, SYN_DROPPED, 0}, {EV_KEY, KEY_Q, 1}, {EV_SYN, SYN_REPORT, 0}});
  auto events = waitFor(4);
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[2].key, KeyName::AltRight);
  EXPECT_FALSE(events[2].down);
  EXPECT_EQ(events[3].key, KeyName::ControlLeft);
  EXPECT_FALSE(events[3].down);
  EXPECT_EQ(events[3].modifiers, 0u);
}

}  // namespace
