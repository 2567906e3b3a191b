#pragma once

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/Clipboard.h"
#include "platform/linux/UniqueFd.h"
#include "platform/linux/wayland/WaylandConnection.h"

struct wl_callback;
struct wl_seat;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

// The seat's clipboard on wlroots compositors and KDE, through the data-control protocol, which
// reaches it without a focused window. A thread of its own ("vesk.clipboard", an io_context)
// dispatches the connection: it follows the owners' offers, counts the changes, and serves the
// bridge's own contents for as long as the bridge owns the clipboard, each transfer bounded.
// Contents are read on the caller's thread from a pipe, each wait bounded.
// The compositor tells of the bridge's own changes as of any other. Each own change is followed
// by a sync; of the selection events before its answer, the last is the change itself, which
// write() and clear() have counted already.
//
// Threads: the methods from one thread at a time (the hold-key main loop), which alone uses
// started_ and ready_ and sets the connection up; after that the dispatch thread alone uses the
// connection, the protocol objects, offers_, current_, sources_, sends_, settling_ and
// unsettled_. mutex_ guards offered_, broken_ and sending_; changes_ is atomic.
class DataControlClipboard final : public Clipboard {
 public:
  DataControlClipboard();
  ~DataControlClipboard() override;
  DataControlClipboard(const DataControlClipboard&) = delete;
  DataControlClipboard& operator=(const DataControlClipboard&) = delete;

  bool available() override;
  bool hasContents() override;
  std::vector<std::string> types() override;
  std::optional<std::string> read(const std::string& type) override;
  void clear() override;
  void write(const std::vector<ClipboardFlavor>& flavors) override;
  std::uint64_t changeCount() override { return changes_; }
  std::vector<ClipboardFlavor> textFlavors(const std::string& text) override;
  ClipboardFlavor transientMarker() override;
  void keepAfterExit() override;

 private:
  using Flavors = std::shared_ptr<const std::vector<ClipboardFlavor>>;
  using Done = std::shared_ptr<std::promise<bool>>;
  struct Offer {
    zwlr_data_control_offer_v1* proxy;
    std::vector<std::string> types;
  };
  struct Source {
    zwlr_data_control_source_v1* proxy;
    Flavors flavors;
  };
  struct Send;
  // An own change, until the compositor has answered the sync that follows it.
  struct Settling {
    wl_callback* sync;
    bool echoes;  // the compositor tells of it (a clear of an empty clipboard is no change)
    Done done;
  };

  bool start();
  // Runs the task on the dispatch thread and waits until it settles `done`, or the limit.
  bool onDispatch(std::function<void(const Done&)> task);
  void watch();
  void fail();

  // On the dispatch thread.
  void select(zwlr_data_control_source_v1* source, bool echoes, const Done& done);
  // Writes the source's contents in the type to the reader's pipe, if it has them.
  void serve(UniqueFd& pipe, const std::string& type, zwlr_data_control_source_v1* source);
  void publish();

  static void onDataOffer(void* data, zwlr_data_control_device_v1*,
                          zwlr_data_control_offer_v1* offer) noexcept;
  static void onSelection(void* data, zwlr_data_control_device_v1*,
                          zwlr_data_control_offer_v1* offer) noexcept;
  static void onFinished(void* data, zwlr_data_control_device_v1*) noexcept;
  static void onOffer(void* data, zwlr_data_control_offer_v1* offer, const char* type) noexcept;
  static void onSend(void* data, zwlr_data_control_source_v1* source, const char* type,
                     std::int32_t fd) noexcept;
  static void onCancelled(void* data, zwlr_data_control_source_v1* source) noexcept;
  static void onSettled(void* data, wl_callback* sync, std::uint32_t) noexcept;

  asio::io_context io_;
  asio::executor_work_guard<asio::io_context::executor_type> keepRunning_;
  std::unique_ptr<WaylandConnection> connection_;
  std::unique_ptr<asio::posix::stream_descriptor> displayWatch_;
  wl_seat* seat_ = nullptr;
  zwlr_data_control_manager_v1* manager_ = nullptr;
  zwlr_data_control_device_v1* device_ = nullptr;
  std::vector<Offer> offers_;
  zwlr_data_control_offer_v1* current_ = nullptr;
  std::vector<Source> sources_;
  std::list<std::shared_ptr<Send>> sends_;
  std::deque<Settling> settling_;
  std::uint64_t unsettled_ = 0;
  bool counting_ = false;
  bool started_ = false;
  bool ready_ = false;
  std::thread thread_;

  std::mutex mutex_;
  std::condition_variable sent_;
  std::optional<std::vector<std::string>> offered_;
  bool broken_ = false;
  std::size_t sending_ = 0;

  std::atomic<std::uint64_t> changes_{0};
};
