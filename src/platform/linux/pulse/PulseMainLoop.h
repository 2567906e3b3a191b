#pragma once

#include <pulse/pulseaudio.h>

#include <memory>
#include <string>

// A long-lived connection to the sound server on libpulse's threaded main loop. The loop's
// thread runs every callback of the context and of its streams. Never spawns a server.
//
// Threads: any thread may call into the context while holding Lock; callbacks run on the loop
// thread with the lock already held, so they never take it.
class PulseMainLoop {
 public:
  explicit PulseMainLoop(const char* clientName);
  ~PulseMainLoop();
  PulseMainLoop(const PulseMainLoop&) = delete;
  PulseMainLoop& operator=(const PulseMainLoop&) = delete;

  // Starts the loop and connects; on failure returns false and says why.
  bool connect(std::string& problem);

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

  // With the lock held: waits until the operation ends or the connection fails; returns whether
  // it ended. Takes over the operation's reference.
  bool await(pa_operation* operation);
  // With the lock held: waits for the next signal().
  void wait();
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
