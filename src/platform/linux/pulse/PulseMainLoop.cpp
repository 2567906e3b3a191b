#include "platform/linux/pulse/PulseMainLoop.h"

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
    wait();
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
  bool ended = true;
  while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_.get()))) {
      pa_operation_cancel(operation);
      ended = false;
      break;
    }
    wait();
  }
  pa_operation_unref(operation);
  return ended;
}

void PulseMainLoop::wait() { pa_threaded_mainloop_wait(loop_.get()); }

void PulseMainLoop::signal() { pa_threaded_mainloop_signal(loop_.get(), 0); }

bool PulseMainLoop::inLoopThread() const { return pa_threaded_mainloop_in_thread(loop_.get()); }

std::string PulseMainLoop::lastError() const {
  return pa_strerror(context_ ? pa_context_errno(context_.get()) : PA_ERR_UNKNOWN);
}
