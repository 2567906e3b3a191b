#include <gtest/gtest.h>

#include "platform/PcmBuffer.h"
#include "support/Pcm.h"

TEST(PcmBuffer, ACopyIsIndependentOfItsSource) {
  auto source = floats(48000, 2, {0.1f, 0.2f, 0.3f, 0.4f});
  auto copy = source.copy();
  ASSERT_TRUE(copy);
  source.samples<float>(0)[0] = 0.9f;
  EXPECT_EQ(copy->format(), source.format());
  EXPECT_EQ(copy->frameLength(), 2u);
  EXPECT_EQ(copy->samples<float>(0)[0], 0.1f);
  EXPECT_EQ(copy->samples<float>(0)[3], 0.4f);

  std::byte* nothing = nullptr;
  auto hollow = PcmBuffer::view(source.format(), 2, std::span<std::byte* const>(&nothing, 1));
  EXPECT_FALSE(hollow.copy());
}

TEST(PcmBuffer, ChannelZeroReadsInterleavedSamplesAsFloat) {
  auto mono = shorts(16000, 3, {16384, 1, 2, -32768, 3, 4}).channel0();
  ASSERT_TRUE(mono);
  EXPECT_EQ(mono->format(), (PcmFormat{16000, 1, SampleFormat::Float32, false}));
  ASSERT_EQ(mono->frameLength(), 2u);
  EXPECT_EQ(mono->samples<float>(0)[0], 0.5f);
  EXPECT_EQ(mono->samples<float>(0)[1], -1.0f);
  EXPECT_FALSE(pcmOf<double>(16000, 1, SampleFormat::Float64, {0.5}).channel0());
}
