#include "platform/PcmBuffer.h"

#include <algorithm>
#include <cstring>

#include <algorithm>
#include <cmath>

std::uint32_t PcmFormat::bytesPerSample() const {
  switch (sampleFormat) {
    case SampleFormat::Int16: return 2;
    case SampleFormat::Float32:
    case SampleFormat::Int32: return 4;
    case SampleFormat::Float64: return 8;
  }
  return 0;
}

std::uint32_t PcmFormat::bytesPerFrame() const {
  return interleaved ? bytesPerSample() * channels : bytesPerSample();
}

std::uint32_t PcmFormat::bufferCount() const { return interleaved ? 1 : channels; }

std::string PcmFormat::describe() const {
  std::string type;
  switch (sampleFormat) {
    case SampleFormat::Float32: type = "float32le"; break;
    case SampleFormat::Int16: type = "s16le"; break;
    case SampleFormat::Int32: type = "s32le"; break;
    case SampleFormat::Float64: type = "float64le"; break;
  }
  std::string text = std::to_string(static_cast<long long>(std::llround(sampleRate))) + " Hz, " +
                     std::to_string(channels) + " ch, " + type;
  if (!interleaved && channels > 1) text += ", planar";
  return text;
}

PcmBuffer::PcmBuffer(const PcmFormat& format, std::uint32_t frameCapacity)
    : format_(format), frameCapacity_(frameCapacity) {
  const std::size_t count = format.bufferCount();
  const std::size_t perBuffer = std::size_t{format.bytesPerFrame()} * frameCapacity;
  storage_ = std::make_unique<std::byte[]>(std::max<std::size_t>(1, count * perBuffer));
  list_.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    list_[i].channels = format.interleaved ? format.channels : 1;
    list_[i].data = storage_.get() + i * perBuffer;
  }
  setFrameLength(0);
}

PcmBuffer PcmBuffer::view(const PcmFormat& format, std::uint32_t frames,
                          std::span<std::byte* const> data) {
  PcmBuffer buffer;
  buffer.format_ = format;
  buffer.list_.resize(format.bufferCount());
  for (auto& entry : buffer.list_) entry.channels = format.interleaved ? format.channels : 1;
  buffer.repoint(frames, data);
  return buffer;
}

void PcmBuffer::repoint(std::uint32_t frames, std::span<std::byte* const> data) {
  for (std::size_t i = 0; i < list_.size(); ++i) list_[i].data = i < data.size() ? data[i] : nullptr;
  frameCapacity_ = frames;
  setFrameLength(frames);
}

void PcmBuffer::setFrameLength(std::uint32_t frames) {
  frameLength_ = std::min(frames, frameCapacity_);
  for (auto& entry : list_) entry.byteSize = frameLength_ * format_.bytesPerFrame();
}

std::optional<PcmBuffer> PcmBuffer::copy() const {
  PcmBuffer copied(format_, frameLength_);
  copied.setFrameLength(frameLength_);
  copied.capturedAt_ = capturedAt_;
  auto from = buffers();
  auto to = copied.buffers();
  for (std::size_t i = 0; i < from.size() && i < to.size(); ++i) {
    if (!from[i].data || !to[i].data) return std::nullopt;
    std::memcpy(to[i].data, from[i].data, std::min(from[i].byteSize, to[i].byteSize));
  }
  return copied;
}

std::optional<PcmBuffer> PcmBuffer::channel0() const {
  const PcmFormat& format = format_;
  PcmBuffer mono(PcmFormat{format.sampleRate, 1, SampleFormat::Float32, false}, frameLength_);
  mono.setFrameLength(frameLength_);
  mono.capturedAt_ = capturedAt_;
  float* out = mono.samples<float>(0);
  const std::size_t stride = format.interleaved ? format.channels : 1;
  const auto take = [&](const auto* in, float scale) -> bool {
    if (!in || !out) return false;
    for (std::uint32_t i = 0; i < frameLength_; ++i) {
      out[i] = static_cast<float>(in[i * stride]) * scale;
    }
    return true;
  };
  bool taken = false;
  switch (format.sampleFormat) {
    case SampleFormat::Float32: taken = take(samples<float>(0), 1.0f); break;
    case SampleFormat::Int16: taken = take(samples<std::int16_t>(0), 1.0f / 32768.0f); break;
    case SampleFormat::Int32:
      taken = take(samples<std::int32_t>(0), 1.0f / 2147483648.0f);
      break;
    case SampleFormat::Float64: break;
  }
  if (!taken) return std::nullopt;
  return mono;
}
