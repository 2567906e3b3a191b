#pragma once

#include <pulse/pulseaudio.h>

#include <chrono>
#include <functional>
#include <memory>

// One short-lived, synchronous connection to the sound server on a main loop of its own, for
// questions asked and answered on the calling thread. Never spawns a server.
class PulseConnection {
 public:
  enum class Outcome { Connected, Refused, Absent };

  explicit PulseConnection(const char* clientName,
                           std::chrono::milliseconds limit = std::chrono::seconds(5));

  // Connects; Refused when the server turned us away for lack of authorisation.
  Outcome connect();

  pa_context* context() const { return context_.get(); }

  // Runs the main loop until done() is true, the connection fails or the time limit passes;
  // returns done().
  bool runUntil(const std::function<bool()>& done);

  // Runs the operation to its end (an operation already failed to start counts as ended).
  bool finish(pa_operation* operation);

 private:
  struct LoopFree {
    void operator()(pa_mainloop* loop) const { pa_mainloop_free(loop); }
  };
  struct ContextFree {
    void operator()(pa_context* context) const {
      pa_context_disconnect(context);
      pa_context_unref(context);
    }
  };

  std::chrono::steady_clock::time_point deadline_;
  std::unique_ptr<pa_mainloop, LoopFree> loop_;
  std::unique_ptr<pa_context, ContextFree> context_;
};
