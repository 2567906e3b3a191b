#pragma once

#include <gio/gio.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/linux/gio/GioHandles.h"

// The session bus as the remote desktop sessions use it: method calls that each wait at most a
// limit, and answers that come later as a signal (the portal's requests), waited for on a main
// context of the link's own, so that nothing else's sources run meanwhile.
//
// Threads: one thread at a time (the hold-key main loop). The signal handlers run on that thread,
// inside awaitSignal(); nothing is shared with another thread, so there is no mutex.
class DBusLink {
 public:
  // The session bus, reached within the limit; nothing when there is none.
  static std::unique_ptr<DBusLink> connect(std::chrono::milliseconds limit);
  ~DBusLink();
  DBusLink(const DBusLink&) = delete;
  DBusLink& operator=(const DBusLink&) = delete;

  // The reply of a method call (its arguments are consumed when floating), or nothing when the
  // call failed or no answer came within the limit. With `startService` false a name that has
  // no owner is not started by the bus.
  GVariantPtr call(const std::string& name, const std::string& path, const std::string& iface,
                   const std::string& method, GVariant* args, const char* replyType,
                   std::chrono::milliseconds limit, bool startService = true);
  // True when the name has an owner now.
  bool hasOwner(const std::string& name, std::chrono::milliseconds limit);
  // True when the bus would start a service for the name.
  bool activatable(const std::string& name, std::chrono::milliseconds limit);
  // The link's own name on the bus, without the leading ':' and with '.' made '_' (the form
  // the portal puts in the object paths of our requests).
  std::string senderPathElement() const;

  // Subscribes to the signal `member` of `iface` from `sender` at `path`, then runs `send`,
  // which makes the call that causes the signal and answers the path the signal will really
  // come on (another one is subscribed to as well), or nothing when the call failed. Waits for
  // the signal until the limit: its parameters, or nothing.
  GVariantPtr awaitSignal(const std::string& sender, const std::string& iface,
                          const std::string& member, const std::string& path,
                          const std::function<std::optional<std::string>()>& send,
                          std::chrono::milliseconds limit);

 private:
  struct ContextUnref {
    void operator()(GMainContext* context) const { g_main_context_unref(context); }
  };
  using ContextPtr = std::unique_ptr<GMainContext, ContextUnref>;

  DBusLink(GObjectPtr<GDBusConnection> bus, ContextPtr context);
  unsigned subscribe(const std::string& sender, const std::string& iface,
                     const std::string& member, const std::string& path, void* into);

  GObjectPtr<GDBusConnection> bus_;
  ContextPtr context_;
};
