#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The sample type every channel of a buffer holds.
enum class SampleFormat { Float32, Int16, Int32, Float64 };

// How a buffer's samples are laid out: rate, channel count, sample type and whether the
// channels are interleaved in one buffer or each in a buffer of its own.
struct PcmFormat {
  double sampleRate = 0;
  std::uint32_t channels = 0;
  SampleFormat sampleFormat = SampleFormat::Float32;
  bool interleaved = true;

  bool operator==(const PcmFormat&) const = default;

  std::uint32_t bytesPerSample() const;
  // Bytes one frame takes in one buffer of the list: every channel when interleaved, one when not.
  std::uint32_t bytesPerFrame() const;
  // Buffers in the list: one when interleaved, one per channel when not.
  std::uint32_t bufferCount() const;
  // A readable text such as "48000 Hz, 2 ch, float32le".
  std::string describe() const;
};

// One buffer of a buffer list: the channels it carries, its byte size and its samples.
struct ChannelBuffer {
  std::uint32_t channels = 0;
  std::uint32_t byteSize = 0;
  std::byte* data = nullptr;
};

// A block of PCM audio: its format, frame length and capacity, and the buffer list that holds
// the samples. A buffer made with a capacity owns zeroed memory and moves cheaply (the list
// keeps pointing at the same memory); a view lends memory owned elsewhere, for the length of
// one call. Byte sizes follow the frame length.
class PcmBuffer {
 public:
  PcmBuffer(const PcmFormat& format, std::uint32_t frameCapacity);
  // A buffer over memory owned by the caller: one data pointer per buffer of the list.
  static PcmBuffer view(const PcmFormat& format, std::uint32_t frames,
                        std::span<std::byte* const> data);

  PcmBuffer(PcmBuffer&&) noexcept = default;
  PcmBuffer& operator=(PcmBuffer&&) noexcept = default;
  PcmBuffer(const PcmBuffer&) = delete;
  PcmBuffer& operator=(const PcmBuffer&) = delete;

  const PcmFormat& format() const { return format_; }
  std::uint32_t frameLength() const { return frameLength_; }
  std::uint32_t frameCapacity() const { return frameCapacity_; }
  // Sets the frame length (at most the capacity) and the byte sizes with it.
  void setFrameLength(std::uint32_t frames);
  // Points a view at new memory, with a new frame length (the capture path reuses one view).
  void repoint(std::uint32_t frames, std::span<std::byte* const> data);

  // When the first frame was captured, in seconds on the steady clock (std::chrono::steady_clock,
  // from the sound server's latency), for a monitor when it is played; none when not known.
  // Copies and channel 0 keep it.
  std::optional<double> capturedAt() const { return capturedAt_; }
  void setCapturedAt(std::optional<double> seconds) { capturedAt_ = seconds; }

  // A deep copy in the same format; none when a buffer of the list has no memory.
  std::optional<PcmBuffer> copy() const;
  // Channel 0 as mono 32-bit float (integers scaled to -1..1); none for 64-bit float or missing
  // samples.
  std::optional<PcmBuffer> channel0() const;

  std::span<ChannelBuffer> buffers() { return list_; }
  std::span<const ChannelBuffer> buffers() const { return list_; }

  // The samples of buffer i as T, or null when the buffer has no memory.
  template <class T>
  T* samples(std::size_t i) {
    return i < list_.size() ? reinterpret_cast<T*>(list_[i].data) : nullptr;
  }
  template <class T>
  const T* samples(std::size_t i) const {
    return i < list_.size() ? reinterpret_cast<const T*>(list_[i].data) : nullptr;
  }

 private:
  PcmBuffer() = default;

  PcmFormat format_;
  std::uint32_t frameCapacity_ = 0;
  std::uint32_t frameLength_ = 0;
  std::vector<ChannelBuffer> list_;
  std::unique_ptr<std::byte[]> storage_;
  std::optional<double> capturedAt_;
};
