// What the capture thread pays per buffer: the meter's scan plus the copy that hands the buffer
// on (the transcriber's feed and the kept sound each make one), for the 20 ms buffers of 16 kHz
// mono the microphone now delivers and the 4096-frame 48 kHz stereo buffers it delivered before.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "listening/engine/AudioMeter.h"
#include "listening/engine/LiveTranscriber.h"

int main() {
  constexpr int ROUNDS = 20000;
  struct Shape {
    PcmFormat format;
    std::uint32_t frames;
  };
  for (const Shape& shape : {Shape{{16000, 1, SampleFormat::Float32, true}, 320},
                             Shape{{48000, 2, SampleFormat::Float32, true}, 4096}}) {
    const PcmFormat& format = shape.format;
    std::vector<float> samples(std::size_t{shape.frames} * format.channels);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = 0.3f * std::sin(0.01f * i);
    std::byte* data = reinterpret_cast<std::byte*>(samples.data());
    const PcmBuffer buffer = PcmBuffer::view(format, shape.frames, std::span<std::byte* const>(&data, 1));
    AudioMeter meter;
    std::size_t kept = 0;
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < ROUNDS; ++i) {
      meter.saw(buffer);
      auto copy = buffer.copy();
      kept += copy ? copy->frameLength() : 0;
    }
    const double micros =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - started).count() /
        ROUNDS;
    const double bufferMicros = 1e6 * shape.frames / format.sampleRate;
    std::printf("capture thread, %u frames of %s (meter + copy): %.2f us per buffer, %.3f%% of the "
                "buffer's %.0f us (%zu frames copied)\n",
                shape.frames, format.describe().c_str(), micros, 100.0 * micros / bufferMicros,
                bufferMicros, kept);
  }
  return 0;
}
