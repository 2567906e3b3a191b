#include "platform/linux/pulse/PulseConnection.h"

#include "platform/linux/pulse/PulseHandles.h"

PulseConnection::PulseConnection(const char* clientName, std::chrono::milliseconds limit)
    : deadline_(std::chrono::steady_clock::now() + limit), loop_(pa_mainloop_new()) {
  if (!loop_) return;
  // A question and its answer are a few hundred bytes: the shared memory pools and ring-buffer
  // channel a connection otherwise sets up on both sides cost more than the whole exchange.
  PulseProplistPtr properties(pa_proplist_new());
  pa_proplist_sets(properties.get(), PA_PROP_CONTEXT_FORCE_DISABLE_SHM, "yes");
  context_.reset(pa_context_new_with_proplist(pa_mainloop_get_api(loop_.get()), clientName,
                                              properties.get()));
}

PulseConnection::Outcome PulseConnection::connect() {
  if (!context_) return Outcome::Absent;
  if (pa_context_connect(context_.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    return pa_context_errno(context_.get()) == PA_ERR_ACCESS ? Outcome::Refused : Outcome::Absent;
  }
  bool ready = runUntil([this] { return pa_context_get_state(context_.get()) == PA_CONTEXT_READY; });
  if (ready) return Outcome::Connected;
  return pa_context_errno(context_.get()) == PA_ERR_ACCESS ? Outcome::Refused : Outcome::Absent;
}

bool PulseConnection::runUntil(const std::function<bool()>& done) {
  using namespace std::chrono;
  while (!done()) {
    if (!context_) return false;
    pa_context_state_t state = pa_context_get_state(context_.get());
    if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) return false;
    auto left = duration_cast<microseconds>(deadline_ - steady_clock::now());
    if (left.count() <= 0) return false;
    if (pa_mainloop_prepare(loop_.get(), static_cast<int>(left.count())) < 0) return false;
    if (pa_mainloop_poll(loop_.get()) < 0) return false;
    if (pa_mainloop_dispatch(loop_.get()) < 0) return false;
  }
  return true;
}

bool PulseConnection::finish(pa_operation* operation) {
  if (!operation) return false;
  bool ended =
      runUntil([operation] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; });
  if (!ended) pa_operation_cancel(operation);
  pa_operation_unref(operation);
  return ended;
}
