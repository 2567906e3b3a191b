#include "listening/engine/AudioMeter.h"

#include <bit>
#include <cmath>
#include <cstdlib>

namespace {

template <class Sample>
void scan(const ChannelBuffer& buffer, float scale, float& peak) {
  const std::size_t count = buffer.byteSize / sizeof(Sample);
  const auto* samples = reinterpret_cast<const Sample*>(buffer.data);
  for (std::size_t i = 0; i < count; ++i) {
    float candidate;
    if constexpr (std::is_floating_point_v<Sample>) {
      candidate = std::fabs(samples[i]);
    } else {
      // Widened first: the magnitude of the most negative sample does not fit the sample type.
      candidate = static_cast<float>(std::llabs(static_cast<long long>(samples[i]))) * scale;
    }
    if (peak <= candidate) peak = candidate;  // false for NaN: such samples are skipped
  }
}

}  // namespace

void AudioMeter::saw(std::span<const ChannelBuffer> buffers, SampleFormat sampleFormat,
                     std::int64_t frames) {
  calls_.fetch_add(1, std::memory_order_relaxed);
  frames_.fetch_add(frames, std::memory_order_relaxed);
  std::int64_t none = -1;
  firstBuffers_.compare_exchange_strong(none, static_cast<std::int64_t>(buffers.size()));
  if (!buffers.empty()) {
    none = -1;
    firstBytes_.compare_exchange_strong(none, static_cast<std::int64_t>(buffers[0].byteSize));
  }

  float peak = 0.0f;
  for (const ChannelBuffer& buffer : buffers) {
    if (buffer.data == nullptr) continue;
    switch (sampleFormat) {
      case SampleFormat::Float32: scan<float>(buffer, 1.0f, peak); break;
      case SampleFormat::Int16: scan<std::int16_t>(buffer, 1.0f / 32768.0f, peak); break;
      case SampleFormat::Int32: scan<std::int32_t>(buffer, 1.0f / 2147483648.0f, peak); break;
      case SampleFormat::Float64: break;
    }
  }
  const auto bits = std::bit_cast<std::uint32_t>(peak);
  raise(peakBits_, bits);
  raise(levelBits_, bits);
}

void AudioMeter::raise(std::atomic<std::uint32_t>& bits, std::uint32_t candidate) {
  // The patterns of non-negative floats (infinity included) stay below the sign bit, so their
  // signed and unsigned orders agree.
  std::uint32_t seen = bits.load();
  while (seen < candidate && !bits.compare_exchange_weak(seen, candidate)) {
  }
}

float AudioMeter::level() { return std::bit_cast<float>(levelBits_.exchange(0)); }

nlohmann::json AudioMeter::report() {
  const float peak = std::bit_cast<float>(peakBits_.exchange(0));
  nlohmann::json report = nlohmann::json::object();
  report["calls"] = calls_.exchange(0);
  report["frames"] = frames_.exchange(0);
  report["buffersInFirstCall"] = firstBuffers_.exchange(-1);
  report["bytesInFirstCall"] = firstBytes_.exchange(-1);
  if (std::isfinite(peak)) {
    report["peak"] = static_cast<double>(peak);
  } else {
    report["peak"] = "not finite";
  }
  return report;
}
