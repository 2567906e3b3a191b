#include "platform/linux/wayland/DataControlClipboard.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>
#include <cerrno>

#include "platform/linux/UniqueFd.h"
#include "platform/linux/wayland/ClipboardKeeper.h"
#include "wlr-data-control-unstable-v1-client.h"

namespace {

using Clock = std::chrono::steady_clock;

// Connecting and learning the clipboard's state; the dispatch thread's handling of one change.
constexpr std::chrono::milliseconds SETUP_LIMIT{2000};
constexpr std::chrono::milliseconds DISPATCH_LIMIT{1000};
// The owner's first answer and each later piece; a whole transfer, either way.
constexpr std::chrono::milliseconds ANSWER_LIMIT{500};
constexpr std::chrono::milliseconds TRANSFER_LIMIT{3000};
// Transfers still running when the process ends.
constexpr std::chrono::milliseconds HAND_OVER_LIMIT{900};

// All a pipe gives until its writer closes it; nothing when an answer does not come in time.
std::optional<std::string> readToEnd(int fd) {
  std::string contents;
  const auto whole = Clock::now() + TRANSFER_LIMIT;
  auto next = Clock::now() + ANSWER_LIMIT;
  char piece[65536];
  while (true) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(std::min(whole, next) - Clock::now());
    pollfd watched{fd, POLLIN, 0};
    const int ready = poll(&watched, 1, static_cast<int>(std::max<long>(left.count(), 0)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    const auto got = ::read(fd, piece, sizeof piece);
    if (got == 0) return contents;
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return std::nullopt;
    }
    contents.append(piece, static_cast<std::size_t>(got));
    next = Clock::now() + ANSWER_LIMIT;
  }
}

}  // namespace

// One transfer of the bridge's contents to a reader, ended by the reader's close or the limit.
struct DataControlClipboard::Send {
  Send(asio::io_context& io, Flavors held) : pipe(io), limit(io), flavors(std::move(held)) {}
  asio::posix::stream_descriptor pipe;
  asio::steady_timer limit;
  Flavors flavors;
};

DataControlClipboard::DataControlClipboard() : keepRunning_(asio::make_work_guard(io_)) {}

DataControlClipboard::~DataControlClipboard() {
  keepRunning_.reset();
  io_.stop();
  if (thread_.joinable()) thread_.join();
  // The display's descriptor is the connection's to close.
  if (displayWatch_ && displayWatch_->is_open()) displayWatch_->release();
  sends_.clear();
  for (auto& settling : settling_) wl_callback_destroy(settling.sync);
  for (auto& offer : offers_) zwlr_data_control_offer_v1_destroy(offer.proxy);
  for (auto& source : sources_) zwlr_data_control_source_v1_destroy(source.proxy);
  if (device_) zwlr_data_control_device_v1_destroy(device_);
  if (manager_) zwlr_data_control_manager_v1_destroy(manager_);
  if (seat_) wl_seat_destroy(seat_);
}

// ---- Setting up ----------------------------------------------------------------------------

bool DataControlClipboard::available() {
  if (started_) return ready_;
  auto connection = WaylandConnection::open(Clock::now() + SETUP_LIMIT);
  return connection && connection->offers(zwlr_data_control_manager_v1_interface.name);
}

bool DataControlClipboard::start() {
  if (started_) return ready_;
  started_ = true;
  const auto deadline = Clock::now() + SETUP_LIMIT;
  connection_ = WaylandConnection::open(deadline);
  if (!connection_) return false;
  seat_ = connection_->bind<wl_seat>(wl_seat_interface, 1);
  manager_ = connection_->bind<zwlr_data_control_manager_v1>(
      zwlr_data_control_manager_v1_interface, 1);
  if (!seat_ || !manager_) return false;
  device_ = zwlr_data_control_manager_v1_get_data_device(manager_, seat_);
  static const zwlr_data_control_device_v1_listener listener{onDataOffer, onSelection,
                                                             onFinished};
  zwlr_data_control_device_v1_add_listener(device_, &listener, this);
  // The device tells the clipboard's state at once; that state is no change.
  if (!connection_->roundtrip(deadline)) return false;
  counting_ = true;
  displayWatch_ = std::make_unique<asio::posix::stream_descriptor>(io_, connection_->fd());
  thread_ = std::thread([this] {
    pthread_setname_np(pthread_self(), "vesk.clipboard");
    // A reader that goes mid-transfer must end that transfer, not the process.
    sigset_t brokenPipe;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);
    watch();
    io_.run();
  });
  ready_ = true;
  return true;
}

// ---- The dispatch thread -------------------------------------------------------------------

void DataControlClipboard::watch() {
  if (!connection_->prepareRead()) return fail();
  displayWatch_->async_wait(asio::posix::descriptor_base::wait_read,
                            [this](const std::error_code& error) {
                              if (error) return connection_->cancelRead();
                              if (!connection_->readPrepared()) return fail();
                              watch();
                            });
}

void DataControlClipboard::fail() {
  {
    std::lock_guard lock(mutex_);
    broken_ = true;
    offered_.reset();
  }
  for (auto& settling : settling_) {
    wl_callback_destroy(settling.sync);
    settling.done->set_value(false);
  }
  settling_.clear();
}

bool DataControlClipboard::onDispatch(std::function<void(const Done&)> task) {
  if (!start()) return false;
  auto done = std::make_shared<std::promise<bool>>();
  auto outcome = done->get_future();
  asio::post(io_, [this, task = std::move(task), done] {
    bool broken = false;
    {
      std::lock_guard lock(mutex_);
      broken = broken_;
    }
    if (broken) return done->set_value(false);
    task(done);
    wl_display_flush(connection_->display());
  });
  return outcome.wait_for(DISPATCH_LIMIT) == std::future_status::ready && outcome.get();
}

void DataControlClipboard::select(zwlr_data_control_source_v1* source, bool echoes,
                                  const Done& done) {
  zwlr_data_control_device_v1_set_selection(device_, source);
  static const wl_callback_listener listener{onSettled};
  wl_callback* sync = wl_display_sync(connection_->display());
  wl_callback_add_listener(sync, &listener, this);
  settling_.push_back({sync, echoes, done});
}

void DataControlClipboard::publish() {
  std::optional<std::vector<std::string>> types;
  if (current_) {
    auto offer = std::find_if(offers_.begin(), offers_.end(),
                              [this](const Offer& o) { return o.proxy == current_; });
    types = offer != offers_.end() ? offer->types : std::vector<std::string>{};
  }
  std::lock_guard lock(mutex_);
  offered_ = std::move(types);
}

void DataControlClipboard::onDataOffer(void* data, zwlr_data_control_device_v1*,
                                       zwlr_data_control_offer_v1* offer) noexcept {
  auto* self = static_cast<DataControlClipboard*>(data);
  static const zwlr_data_control_offer_v1_listener listener{onOffer};
  try {
    self->offers_.push_back({offer, {}});
    zwlr_data_control_offer_v1_add_listener(offer, &listener, self);
  } catch (...) {
    zwlr_data_control_offer_v1_destroy(offer);
  }
}

void DataControlClipboard::onOffer(void* data, zwlr_data_control_offer_v1* offer,
                                   const char* type) noexcept {
  auto* self = static_cast<DataControlClipboard*>(data);
  auto found = std::find_if(self->offers_.begin(), self->offers_.end(),
                            [offer](const Offer& o) { return o.proxy == offer; });
  if (found == self->offers_.end()) return;
  try {
    if (std::find(found->types.begin(), found->types.end(), type) == found->types.end()) {
      found->types.emplace_back(type);
    }
  } catch (...) {
    // Out of memory: the type goes unlisted.
  }
}

void DataControlClipboard::onSelection(void* data, zwlr_data_control_device_v1*,
                                       zwlr_data_control_offer_v1* offer) noexcept {
  auto* self = static_cast<DataControlClipboard*>(data);
  // Every other offer is over: the one it replaces, and any that was never selected.
  std::erase_if(self->offers_, [offer](const Offer& o) {
    if (o.proxy == offer) return false;
    zwlr_data_control_offer_v1_destroy(o.proxy);
    return true;
  });
  self->current_ = offer;
  try {
    self->publish();
  } catch (...) {
    std::lock_guard lock(self->mutex_);
    self->offered_ = std::vector<std::string>{};  // contents, whose types went unlisted
  }
  if (!self->counting_) return;
  if (self->settling_.empty()) {
    ++self->changes_;
  } else {
    ++self->unsettled_;
  }
}

void DataControlClipboard::onSettled(void* data, wl_callback* sync, std::uint32_t) noexcept {
  auto* self = static_cast<DataControlClipboard*>(data);
  wl_callback_destroy(sync);
  if (self->settling_.empty() || self->settling_.front().sync != sync) return;
  const Settling settled = self->settling_.front();
  self->settling_.pop_front();
  // Changes are answered in order: the last one told before this answer was the own change.
  if (settled.echoes && self->unsettled_ > 0) --self->unsettled_;
  self->changes_ += self->unsettled_;
  self->unsettled_ = 0;
  settled.done->set_value(true);
}

void DataControlClipboard::onFinished(void* data, zwlr_data_control_device_v1*) noexcept {
  static_cast<DataControlClipboard*>(data)->fail();
}

void DataControlClipboard::onCancelled(void* data, zwlr_data_control_source_v1* source) noexcept {
  auto* self = static_cast<DataControlClipboard*>(data);
  std::erase_if(self->sources_, [source](const Source& s) { return s.proxy == source; });
  zwlr_data_control_source_v1_destroy(source);
}

void DataControlClipboard::onSend(void* data, zwlr_data_control_source_v1* source,
                                  const char* type, std::int32_t fd) noexcept {
  UniqueFd pipe(fd);
  try {
    static_cast<DataControlClipboard*>(data)->serve(pipe, type, source);
  } catch (...) {
    // The reader gets nothing: its pipe closes.
  }
}

void DataControlClipboard::serve(UniqueFd& pipe, const std::string& type,
                                 zwlr_data_control_source_v1* source) {
  auto owner = std::find_if(sources_.begin(), sources_.end(),
                            [source](const Source& s) { return s.proxy == source; });
  if (owner == sources_.end()) return;
  const auto& flavors = *owner->flavors;
  auto flavor = std::find_if(flavors.begin(), flavors.end(),
                             [&type](const ClipboardFlavor& f) { return f.type == type; });
  if (flavor == flavors.end()) return;
  auto send = std::make_shared<Send>(io_, owner->flavors);
  send->pipe.assign(pipe.get());
  pipe.release();
  sends_.push_back(send);
  {
    std::lock_guard lock(mutex_);
    ++sending_;
  }
  asio::async_write(send->pipe, asio::buffer(flavor->data),
                    [this, send](const std::error_code&, std::size_t) {
                      std::error_code ignored;
                      send->limit.cancel();
                      send->pipe.close(ignored);
                      sends_.remove(send);
                      {
                        std::lock_guard lock(mutex_);
                        --sending_;
                      }
                      sent_.notify_all();
                    });
  // A reader that stops reading: closing its pipe ends the write above.
  send->limit.expires_after(TRANSFER_LIMIT);
  send->limit.async_wait([send](const std::error_code& error) {
    std::error_code ignored;
    if (!error) send->pipe.close(ignored);
  });
}

// ---- The caller's side ---------------------------------------------------------------------

bool DataControlClipboard::hasContents() {
  if (!start()) return false;
  std::lock_guard lock(mutex_);
  return offered_.has_value();
}

std::vector<std::string> DataControlClipboard::types() {
  if (!start()) return {};
  std::lock_guard lock(mutex_);
  return offered_.value_or(std::vector<std::string>{});
}

std::optional<std::string> DataControlClipboard::read(const std::string& type) {
  if (!start()) return std::nullopt;
  {
    std::lock_guard lock(mutex_);
    if (!offered_ || std::find(offered_->begin(), offered_->end(), type) == offered_->end()) {
      return std::nullopt;
    }
  }
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
  UniqueFd from(ends[0]);
  // The writing end goes to the owner; ours closes once the request has it (or with the task),
  // so the owner's close is the end of the contents.
  auto to = std::make_shared<UniqueFd>(ends[1]);
  const bool asked = onDispatch([this, type, to](const Done& done) {
    if (!current_) return done->set_value(false);
    zwlr_data_control_offer_v1_receive(current_, type.c_str(), to->get());
    to->reset();
    done->set_value(true);
  });
  if (!asked) return std::nullopt;
  return readToEnd(from.get());
}

void DataControlClipboard::clear() {
  if (!start()) return;
  ++changes_;
  onDispatch([this](const Done& done) { select(nullptr, current_ != nullptr, done); });
}

void DataControlClipboard::write(const std::vector<ClipboardFlavor>& flavors) {
  if (!start()) return;
  ++changes_;
  auto held = std::make_shared<const std::vector<ClipboardFlavor>>(flavors);
  onDispatch([this, held](const Done& done) {
    zwlr_data_control_source_v1* source = zwlr_data_control_manager_v1_create_data_source(manager_);
    for (const auto& flavor : *held) zwlr_data_control_source_v1_offer(source, flavor.type.c_str());
    static const zwlr_data_control_source_v1_listener listener{onSend, onCancelled};
    zwlr_data_control_source_v1_add_listener(source, &listener, this);
    sources_.push_back({source, held});
    select(source, true, done);
  });
}

std::vector<ClipboardFlavor> DataControlClipboard::textFlavors(const std::string& text) {
  return {{"text/plain;charset=utf-8", text},
          {"text/plain", text},
          {"UTF8_STRING", text},
          {"STRING", text},
          {"TEXT", text}};
}

ClipboardFlavor DataControlClipboard::transientMarker() {
  return {"x-kde-passwordManagerHint", "secret"};
}

// No protocol hands contents over to a clipboard manager here: managers copy each change as it
// comes, and contents die with their client. So the transfers still running finish, and what the
// bridge still offers is handed to a keeper process.
void DataControlClipboard::keepAfterExit() {
  const auto deadline = std::chrono::steady_clock::now() + HAND_OVER_LIMIT;
  Flavors owned;
  onDispatch([this, &owned](const Done& done) {
    // Each own source is cancelled once replaced, so the newest left is the clipboard.
    if (!sources_.empty()) owned = sources_.back().flavors;
    done->set_value(true);
  });
  if (owned) {
    if (auto flavor = ClipboardKeeper::kept(*owned)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      ClipboardKeeper::keep(*flavor, std::max(left, std::chrono::milliseconds(100)));
    }
  }
  std::unique_lock lock(mutex_);
  sent_.wait_until(lock, deadline, [this] { return sending_ == 0; });
}
