#include <gtest/gtest.h>

#include <vector>

#include "listening/engine/SpeechGate.h"

namespace {

// 20 ms blocks at 16 kHz: speech at about -20 dBFS, quiet at -70 dBFS.
std::vector<std::int16_t> block(std::int16_t level) { return std::vector<std::int16_t>(320, level); }

}  // namespace

TEST(SpeechGate, LongQuietIsNotDecodedAndTheSoundBeforeSpeechComesFirst) {
  SpeechGate gate(16000);
  std::vector<std::int16_t> decoded;
  std::vector<bool> loud;  // per decoded sample
  auto decode = [&](std::span<const std::int16_t> samples, bool isLoud) {
    decoded.insert(decoded.end(), samples.begin(), samples.end());
    loud.insert(loud.end(), samples.size(), isLoud);
  };
  gate.pass(block(3000), true, decode);
  // The decoder hears the quiet after speech until it has had 0.6 s of it out of speech.
  for (int i = 0; i < 10; ++i) gate.pass(block(10), true, decode);
  for (int i = 0; i < 30; ++i) gate.pass(block(10), false, decode);
  EXPECT_EQ(decoded.size(), 41u * 320);
  EXPECT_FALSE(loud.back());
  // Then nothing, however long the quiet lasts...
  for (int i = 0; i < 100; ++i) gate.pass(block(10 + i % 2), false, decode);
  EXPECT_EQ(decoded.size(), 41u * 320);
  // ...until sound comes: the last 0.3 s of quiet go in ahead of it.
  gate.pass(block(3000), false, decode);
  ASSERT_EQ(decoded.size(), 41u * 320 + 4800 + 320);
  EXPECT_EQ(decoded[41 * 320 + 4799], 11);
  EXPECT_EQ(decoded.back(), 3000);
  EXPECT_TRUE(loud[41 * 320]);  // the kept quiet leads into the sound
  EXPECT_TRUE(loud.back());
}
