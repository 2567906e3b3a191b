#include "platform/linux/evdev/EvdevInputMonitor.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "platform/linux/evdev/EvdevKeyDevices.h"

namespace {

bool isEventDevice(const std::string& name) { return name.rfind("event", 0) == 0; }

void append(HeldKeys::Events& to, const HeldKeys::Events& more) {
  to.insert(to.end(), more.begin(), more.end());
}

}  // namespace

EvdevInputMonitor::EvdevInputMonitor() : EvdevInputMonitor(std::make_unique<EvdevKeyDevices>()) {}

EvdevInputMonitor::EvdevInputMonitor(std::unique_ptr<KeyDevices> devices)
    : devices_(std::move(devices)) {}

EvdevInputMonitor::~EvdevInputMonitor() {
  stopping_ = true;
  if (wake_) {
    std::uint64_t one = 1;
    [[maybe_unused]] auto written = write(wake_.get(), &one, sizeof one);
  }
  if (thread_.joinable()) thread_.join();
}

std::vector<std::string> EvdevInputMonitor::devicePaths() const {
  std::vector<std::string> paths;
  std::error_code error;
  for (std::filesystem::directory_iterator it(devices_->folder(), error), end; !error && it != end;
       it.increment(error)) {
    if (isEventDevice(it->path().filename().string())) paths.push_back(it->path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

bool EvdevInputMonitor::available() {
  for (const auto& path : devicePaths()) {
    auto device = devices_->open(path);
    if (device && device->keyboard) return true;
  }
  return false;
}

std::string EvdevInputMonitor::start(Handler handler) {
  if (thread_.joinable()) return "already watching";
  wake_ = UniqueFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!wake_) return std::string("cannot make an event descriptor: ") + std::strerror(errno);
  // Without the folder watch, devices plugged in later go unseen; the ones there now still work.
  folderWatch_ = UniqueFd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (folderWatch_ && inotify_add_watch(folderWatch_.get(), devices_->folder().c_str(),
                                        IN_CREATE | IN_ATTRIB | IN_MOVED_TO) < 0) {
    folderWatch_.reset();
  }
  // Keys already down when watching begins are held, not pressed.
  for (const auto& path : devicePaths()) openDevice(path);
  thread_ = std::thread([this, handler = std::move(handler)] { watch(handler); });
  return "";
}

HeldKeys::Events EvdevInputMonitor::openDevice(const std::string& path) {
  auto device = devices_->open(path);
  if (!device) return {};
  auto open = std::make_unique<OpenDevice>();
  open->id = nextId_++;
  open->path = path;
  open->device = std::move(*device);
  auto events = held_.resync(open->id, open->device.keysDown);
  open_.push_back(std::move(open));
  return events;
}

HeldKeys::Events EvdevInputMonitor::closeDevice(const std::string& path) {
  HeldKeys::Events events;
  for (auto it = open_.begin(); it != open_.end();) {
    if ((*it)->path == path) {
      append(events, held_.forget((*it)->id));
      it = open_.erase(it);
    } else {
      ++it;
    }
  }
  return events;
}

HeldKeys::Events EvdevInputMonitor::folderChanged() {
  HeldKeys::Events events;
  alignas(inotify_event) std::array<char, 4096> buffer;
  bool overflowed = false;
  for (;;) {
    const ssize_t got = read(folderWatch_.get(), buffer.data(), buffer.size());
    if (got <= 0) break;
    for (ssize_t at = 0; at < got;) {
      inotify_event notice;
      std::memcpy(&notice, buffer.data() + at, sizeof notice);
      const std::string name =
          notice.len > 0 ? std::string(buffer.data() + at + sizeof notice) : "";
      at += static_cast<ssize_t>(sizeof notice + notice.len);
      overflowed = overflowed || (notice.mask & IN_Q_OVERFLOW) != 0;
      if (!isEventDevice(name)) continue;
      const std::string path = (std::filesystem::path(devices_->folder()) / name).string();
      if (notice.mask & (IN_CREATE | IN_MOVED_TO)) {
        // A new device under the name of one whose end was not read yet: the old one is gone.
        append(events, closeDevice(path));
        append(events, openDevice(path));
      } else if (!isOpen(path)) {
        // Its permissions changed: it may be readable now.
        append(events, openDevice(path));
      }
    }
  }
  // Notices were lost: any device not open yet may have come.
  if (overflowed) {
    for (const auto& path : devicePaths()) {
      if (!isOpen(path)) append(events, openDevice(path));
    }
  }
  return events;
}

bool EvdevInputMonitor::isOpen(const std::string& path) const {
  return std::any_of(open_.begin(), open_.end(),
                     [&](const auto& open) { return open->path == path; });
}

bool EvdevInputMonitor::readDevice(OpenDevice& open, HeldKeys::Events& events) {
  std::array<std::byte, 4096> buffer;
  for (;;) {
    const ssize_t got = read(open.device.fd.get(), buffer.data(), buffer.size());
    if (got == 0) return false;
    if (got < 0) return errno == EAGAIN || errno == EINTR;
    for (const auto& step : open.decoder.feed(std::span(buffer.data(), static_cast<size_t>(got)))) {
      if (step.kind == InputEventDecoder::Step::Kind::Resync) {
        append(events, held_.resync(open.id, devices_->keysDown(open.device.fd.get())));
      } else {
        append(events, held_.change(open.id, step.code, step.value));
      }
    }
  }
}

void EvdevInputMonitor::watch(const Handler& handler) {
  pthread_setname_np(pthread_self(), "vesk.keys");
  try {
    watchDevices(handler);
  } catch (...) {
    // Out of memory: the watch ends, as it does when polling fails; the process goes on.
  }
}

void EvdevInputMonitor::watchDevices(const Handler& handler) {
  std::vector<pollfd> fds;
  while (!stopping_) {
    fds.clear();
    fds.push_back({wake_.get(), POLLIN, 0});
    fds.push_back({folderWatch_.get(), POLLIN, 0});  // poll skips -1
    for (const auto& open : open_) fds.push_back({open->device.fd.get(), POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents != 0) return;
    HeldKeys::Events events;
    // The devices first: the folder may replace one of them.
    std::vector<std::string> gone;
    for (std::size_t i = 0; i < open_.size(); ++i) {
      if (fds[i + 2].revents == 0) continue;
      // A device in error that still reads "nothing yet" would wake every poll: it is gone too.
      const bool broken = (fds[i + 2].revents & (POLLERR | POLLNVAL)) != 0;
      if (!readDevice(*open_[i], events) || broken) gone.push_back(open_[i]->path);
    }
    for (const auto& path : gone) append(events, closeDevice(path));
    if (fds[1].revents != 0) append(events, folderChanged());
    for (const auto& event : events) {
      try {
        handler(event);
      } catch (...) {
        // The handler only hands the event over; nothing of it may end the watch.
      }
    }
  }
}
