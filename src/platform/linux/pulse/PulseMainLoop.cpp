#include "platform/linux/pulse/PulseMainLoop.h"

#include <pulse/rtclock.h>

void PulseMainLoop::LoopFree::operator()(pa_threaded_mainloop* loop) const {
  pa_threaded_mainloop_free(loop);
}

void PulseMainLoop::ContextFree::operator()(pa_context* context) const {
  pa_context_set_state_callback(context, nullptr, nullptr);
  pa_context_set_subscribe_callback(context, nullptr, nullptr);
  pa_context_disconnect(context);
  pa_context_unref(context);
}

PulseMainLoop::PulseMainLoop(const char* clientName) : loop_(pa_threaded_mainloop_new()) {
  if (!loop_) return;
  pa_threaded_mainloop_set_name(loop_.get(), "vesk.pulse");
  context_.reset(pa_context_new(pa_threaded_mainloop_get_api(loop_.get()), clientName));
}

PulseMainLoop::~PulseMainLoop() {
  if (started_) pa_threaded_mainloop_stop(loop_.get());
  // The loop thread has ended: the context goes without a lock.
  context_.reset();
}

PulseMainLoop* PulseMainLoop::shared(std::string& problem) {
  static std::string failure;
  static PulseMainLoop* loop = [] {
    auto* made = new PulseMainLoop("vesk-native");
    if (!made->connect(failure) && failure.empty()) failure = "couldn\u2019t reach the sound server";
    return made;
  }();
  if (!failure.empty()) {
    problem = failure;
    return nullptr;
  }
  return loop;
}

bool PulseMainLoop::connect(std::string& problem) {
  if (!loop_ || !context_) {
    problem = "couldn’t create a sound server client";
    return false;
  }
  pa_context_set_state_callback(
      context_.get(),
      [](pa_context*, void* self) { static_cast<PulseMainLoop*>(self)->signal(); }, this);
  if (pa_threaded_mainloop_start(loop_.get()) < 0) {
    problem = "couldn’t start the sound server client’s thread";
    return false;
  }
  started_ = true;
  const auto deadline = Clock::now() + SERVER_LIMIT;
  Lock lock(*this);
  if (pa_context_connect(context_.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    problem = lastError();
    return false;
  }
  for (;;) {
    pa_context_state_t state = pa_context_get_state(context_.get());
    if (state == PA_CONTEXT_READY) return true;
    if (!PA_CONTEXT_IS_GOOD(state)) {
      problem = lastError();
      return false;
    }
    if (!wait(deadline)) {
      problem = "the sound server didn\u2019t answer in time";
      return false;
    }
  }
}

PulseMainLoop::Lock::Lock(PulseMainLoop& loop) : loop_(loop.loop_.get()) {
  if (pa_threaded_mainloop_in_thread(loop_)) {
    loop_ = nullptr;
  } else {
    pa_threaded_mainloop_lock(loop_);
  }
}

PulseMainLoop::Lock::~Lock() {
  if (loop_) pa_threaded_mainloop_unlock(loop_);
}

bool PulseMainLoop::await(pa_operation* operation) {
  if (!operation) return false;
  const auto deadline = Clock::now() + SERVER_LIMIT;
  bool ended = true;
  while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_.get())) || !wait(deadline)) {
      pa_operation_cancel(operation);
      ended = false;
      break;
    }
  }
  pa_operation_unref(operation);
  return ended;
}

bool PulseMainLoop::wait(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
  if (left <= 0) return false;
  // A timer on the loop wakes this wait at the deadline if nothing else does first.
  pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_.get());
  pa_time_event* timer = pa_context_rttime_new(
      context_.get(), pa_rtclock_now() + static_cast<pa_usec_t>(left),
      [](pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
        static_cast<PulseMainLoop*>(self)->signal();
      },
      this);
  pa_threaded_mainloop_wait(loop_.get());
  if (timer) api->time_free(timer);
  return Clock::now() < deadline;
}

void PulseMainLoop::signal() { pa_threaded_mainloop_signal(loop_.get(), 0); }

bool PulseMainLoop::inLoopThread() const { return pa_threaded_mainloop_in_thread(loop_.get()); }

std::string PulseMainLoop::lastError() const {
  return pa_strerror(context_ ? pa_context_errno(context_.get()) : PA_ERR_UNKNOWN);
}
