#pragma once

#include <pulse/pulseaudio.h>

#include <chrono>
#include <memory>
#include <string>

// A long-lived connection to the sound server on libpulse's threaded main loop. The loop's
// thread runs every callback of the context and of its streams: the microphone's and the
// computer's sound share one (shared()). Never spawns a server. Every
// wait for the server ends by a deadline: a server that hangs (stopped, or stuck) makes the
// call fail instead of blocking its caller for ever.
//
// Threads: any thread may call into the context while holding Lock; callbacks run on the loop
// thread with the lock already held, so they never take it.
class PulseMainLoop {
 public:
  explicit PulseMainLoop(const char* clientName);
  ~PulseMainLoop();
  PulseMainLoop(const PulseMainLoop&) = delete;
  PulseMainLoop& operator=(const PulseMainLoop&) = delete;

  using Clock = std::chrono::steady_clock;
  // How long one exchange with the server (the connect, a question, a stream's start) may take.
  static constexpr std::chrono::milliseconds SERVER_LIMIT{3000};

  // Starts the loop and connects; on failure (or no answer in time) returns false and says why.
  bool connect(std::string& problem);
  // The process's one connection for capture, which serves every stream: connected on first use
  // and kept (never destroyed, since streams may still run while the process ends). Null with
  // the reason when it couldn't connect; a failed connection stays failed.
  static PulseMainLoop* shared(std::string& problem);

  pa_context* context() const { return context_.get(); }

  // Holds the loop's lock for a scope; does nothing on the loop's own thread, which already
  // holds it.
  class Lock {
   public:
    explicit Lock(PulseMainLoop& loop);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    pa_threaded_mainloop* loop_;
  };

  // With the lock held: waits until the operation ends, the connection fails or the time limit
  // passes (the operation is then cancelled); returns whether it ended. Takes over the
  // operation's reference.
  bool await(pa_operation* operation);
  // With the lock held: waits for the next signal() or the deadline; false once it has passed.
  bool wait(Clock::time_point deadline);
  // Wakes the waiters; called from callbacks.
  void signal();
  bool inLoopThread() const;
  // The server's last error, as text.
  std::string lastError() const;

 private:
  struct LoopFree {
    void operator()(pa_threaded_mainloop* loop) const;
  };
  struct ContextFree {
    void operator()(pa_context* context) const;
  };

  std::unique_ptr<pa_threaded_mainloop, LoopFree> loop_;
  std::unique_ptr<pa_context, ContextFree> context_;
  bool started_ = false;
};
