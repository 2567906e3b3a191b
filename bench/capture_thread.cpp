// What the capture thread pays per 4096-frame buffer: the meter's scan plus the copy that hands
// the buffer on (the transcriber's feed and the kept sound each make one).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "listening/engine/AudioMeter.h"
#include "listening/engine/LiveTranscriber.h"

int main() {
  constexpr std::uint32_t FRAMES = 4096;
  constexpr int ROUNDS = 20000;
  for (std::uint32_t channels : {1u, 2u}) {
    const PcmFormat format{48000, channels, SampleFormat::Float32, true};
    std::vector<float> samples(FRAMES * channels);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = 0.3f * std::sin(0.01f * i);
    std::byte* data = reinterpret_cast<std::byte*>(samples.data());
    const PcmBuffer buffer = PcmBuffer::view(format, FRAMES, std::span<std::byte* const>(&data, 1));
    AudioMeter meter;
    std::size_t kept = 0;
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < ROUNDS; ++i) {
      meter.saw(buffer);
      auto copy = LiveTranscriber::copy(buffer);
      kept += copy ? copy->frameLength() : 0;
    }
    const double micros =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - started).count() /
        ROUNDS;
    const double bufferMicros = 1e6 * FRAMES / format.sampleRate;
    std::printf("capture thread, 4096 frames of 48 kHz %u ch float (meter + copy): %.2f us per "
                "buffer, %.3f%% of the buffer's %.0f us (%zu frames copied)\n",
                channels, micros, 100.0 * micros / bufferMicros, bufferMicros, kept);
  }
  return 0;
}
