#pragma once

#include <atomic>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <span>

#include "platform/PcmBuffer.h"

// Lock-free counters of one capture path: how many buffers and frames arrived, the layout of
// the first buffer since the last report, and the loudest sample for two independent readers
// (the level bars and the diagnostics report). Each read resets what it read.
//
// Threads: saw() on the capture thread; level() and report() from any thread. Nothing locks;
// the float peaks are kept as the bit patterns of non-negative floats, whose integer order is
// their numeric order, so an integer maximum keeps the larger one.
class AudioMeter {
 public:
  AudioMeter() = default;
  AudioMeter(const AudioMeter&) = delete;
  AudioMeter& operator=(const AudioMeter&) = delete;

  // Records one delivered buffer. Takes no lock and allocates nothing.
  void saw(std::span<const ChannelBuffer> buffers, SampleFormat sampleFormat, std::int64_t frames);
  void saw(const PcmBuffer& buffer) {
    saw(buffer.buffers(), buffer.format().sampleFormat, buffer.frameLength());
  }

  // The largest absolute sample since the previous level(), 0 when nothing arrived.
  float level();

  // {"calls","frames","buffersInFirstCall","bytesInFirstCall","peak"} since the previous report.
  nlohmann::json report();

 private:
  static void raise(std::atomic<std::uint32_t>& bits, std::uint32_t candidate);

  std::atomic<std::int64_t> calls_{0};
  std::atomic<std::int64_t> frames_{0};
  std::atomic<std::int64_t> firstBuffers_{-1};
  std::atomic<std::int64_t> firstBytes_{-1};
  std::atomic<std::uint32_t> peakBits_{0};
  std::atomic<std::uint32_t> levelBits_{0};
};
