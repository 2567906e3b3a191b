#pragma once

#include <memory>

#include "base/SerialQueue.h"
#include "platform/PcmBuffer.h"

class LiveTranscriber;

// Holds the microphone's sound, in order, until the transcriber is ready: buffers taken before
// hand() wait on a suspended queue ("vesk.waiting"); hand() resumes it and they flow to the
// transcriber.
//
// Threads: take() on the capture thread; hand() once, from any thread; flush() after hand().
// transcriber_ is set before the queue runs and is then read on the queue's thread only.
class WaitingSound {
 public:
  WaitingSound() : queue_("vesk.waiting", SerialQueue::Start::Suspended) {}

  // Queues a copy of the buffer for the transcriber; returns at once. Empty buffers are ignored.
  void take(const PcmBuffer& buffer);
  // Sets the transcriber and lets the held buffers flow. Called once.
  void hand(std::shared_ptr<LiveTranscriber> transcriber);
  // Waits until every buffer taken so far has been fed; returns at once before hand().
  void flush();

 private:
  std::shared_ptr<LiveTranscriber> transcriber_;
  SerialQueue queue_;
};
