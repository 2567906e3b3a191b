// The libsoxr converter on its own: no service needed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/linux/soxr/SoxrConverter.h"
#include "support/Pcm.h"

// Buffer by buffer and then flushed, every input frame comes out: the output is as long as the
// rate change makes the input, whatever the buffer size and the direction of the change.
TEST(SoxrConverter, EveryInputFrameComesOutOnceFlushed) {
  struct Case {
    PcmFormat from;
    std::uint32_t framesPerBuffer;
    int buffers;
  };
  const PcmFormat to{16000, 1, SampleFormat::Int16, true};
  for (const Case& c : {Case{{48000, 2, SampleFormat::Float32, true}, 4096, 12},
                        Case{{44100, 1, SampleFormat::Float32, true}, 441, 30},
                        Case{{8000, 1, SampleFormat::Float32, true}, 4096, 5},
                        Case{{16000, 1, SampleFormat::Int16, true}, 320, 10}}) {
    SCOPED_TRACE(c.from.describe());
    SoxrConverter converter(c.from, to);
    std::size_t made = 0;
    for (int i = 0; i < c.buffers; ++i) {
      const std::size_t samples = std::size_t{c.framesPerBuffer} * c.from.channels;
      PcmBuffer input = c.from.sampleFormat == SampleFormat::Int16
                            ? shorts(c.from.sampleRate, c.from.channels,
                                     std::vector<std::int16_t>(samples, 1000))
                            : floats(c.from.sampleRate, c.from.channels,
                                     std::vector<float>(samples, 0.25f));
      made += converter.convert(input).frameLength();
    }
    made += converter.flush().frameLength();
    const double expected = static_cast<double>(c.framesPerBuffer) * c.buffers * 16000 / c.from.sampleRate;
    EXPECT_NEAR(static_cast<double>(made), expected, 1.0);
  }
}

// Silence stays silence on the way from 48 kHz stereo float to the recogniser's 16-bit samples:
// no dither noise for its speech detector to trip over between phrases.
TEST(SoxrConverter, DigitalSilenceComesOutAsZeros) {
  SoxrConverter converter({48000, 2, SampleFormat::Float32, true}, {16000, 1, SampleFormat::Int16, true});
  std::vector<std::int16_t> out;
  for (int i = 0; i < 20; ++i) {
    PcmBuffer made = converter.convert(floats(48000, 2, std::vector<float>(960 * 2, 0.0f)));
    const std::int16_t* samples = made.samples<std::int16_t>(0);
    out.insert(out.end(), samples, samples + made.frameLength());
  }
  ASSERT_GT(out.size(), 5000u);
  EXPECT_EQ(std::count(out.begin(), out.end(), std::int16_t{0}), static_cast<long>(out.size()));
}
