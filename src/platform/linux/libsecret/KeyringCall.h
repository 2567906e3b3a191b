#pragma once

#include <libsecret/secret.h>

#include <chrono>
#include <functional>
#include <vector>

#include "platform/SecretStore.h"
#include "platform/linux/gio/GioHandles.h"
#include "platform/linux/glib/OwnContext.h"

// One keyring operation, run on the calling thread: its calls are libsecret's asynchronous ones,
// answered on a main context of the operation's own, and all of them share one limit. At the
// limit they are cancelled; a call that does not come back from its cancellation `late` after
// the limit (as after the keyring failed under an unlock prompt) is given up, and its answer,
// should it ever come, is never run, since nothing runs the context any more.
// Threads: built, used and destroyed on one thread.
class KeyringCall {
 public:
  static constexpr std::chrono::milliseconds LATE{1000};
  using Start = std::function<void(GAsyncReadyCallback, gpointer)>;

  explicit KeyringCall(SecretStore::Limit limit, std::chrono::milliseconds late = LATE);

  GCancellable* cancellable() const { return cancellable_.get(); }

  // Starts a call through `start`, which hands the callback and its data to libsecret, and
  // waits for its result, for the function that finishes the call. Throws a time-out when the
  // call was given up.
  GObjectPtr<GAsyncResult> await(const Start& start);
  // The same for calls that run at once, started in order: the result of each.
  std::vector<GObjectPtr<GAsyncResult>> awaitAll(const std::vector<Start>& starts);

  // Throws for a failed call; a call cut short by the limit reports a time-out.
  [[noreturn]] void raise(GError* raw) const;

  // A keyring service of the caller's own, connected (libsecret's shared one also watches the
  // service's name on the bus, which costs a round trip that a short command has no use for).
  GObjectPtr<SecretService> connect();
  // The items matching the attributes, as the flags ask.
  GObjectList search(SecretService* service, GHashTable* attributes, SecretSearchFlags flags);

 private:
  OwnContext context_;
  GObjectPtr<GCancellable> cancellable_;
  OwnContext::Clock::time_point deadline_;
  std::chrono::milliseconds late_;
  bool cancelled_ = false;
};
