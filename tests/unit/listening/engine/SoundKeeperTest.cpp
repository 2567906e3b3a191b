#include <gtest/gtest.h>

#include "fakes/FakeAudioConverters.h"
#include "base/Base64.h"
#include "listening/engine/RealSound.h"
#include "listening/engine/SoundKeeper.h"
#include "support/Pcm.h"
#include "support/Wav.h"

TEST(Base64, FillsTheLastGroup) {
  EXPECT_EQ(base64(""), "");
  EXPECT_EQ(base64("f"), "Zg==");
  EXPECT_EQ(base64("fo"), "Zm8=");
  EXPECT_EQ(base64("foo"), "Zm9v");
  EXPECT_EQ(base64(std::string("\xff\xfe\x00", 3)), "//4A");
}

TEST(SoundKeeper, NothingKeptGivesNoWav) {
  FakeAudioConverters converters;
  auto keeper = std::make_shared<SoundKeeper>(converters);
  keeper->keep(floats(48000, 1, {}));
  EXPECT_FALSE(keeper->wavBase64());
}

TEST(SoundKeeper, TheWavHeaderDescribes16kMono16Bit) {
  const std::string file = SoundKeeper::wavFile(std::string(10, '\1'));
  ASSERT_EQ(file.size(), 54u);
  EXPECT_EQ(file.substr(0, 4), "RIFF");
  EXPECT_EQ(littleAt(file, 4, 4), 46u);
  EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(littleAt(file, 16, 4), 16u);
  EXPECT_EQ(littleAt(file, 20, 2), 1u);
  EXPECT_EQ(littleAt(file, 22, 2), 1u);
  EXPECT_EQ(littleAt(file, 24, 4), 16000u);
  EXPECT_EQ(littleAt(file, 28, 4), 32000u);
  EXPECT_EQ(littleAt(file, 32, 2), 2u);
  EXPECT_EQ(littleAt(file, 34, 2), 16u);
  EXPECT_EQ(file.substr(36, 4), "data");
  EXPECT_EQ(littleAt(file, 40, 4), 10u);
}

TEST(SoundKeeper, KeepsTheBeginningUpToItsLimit) {
  FakeAudioConverters converters;
  auto keeper = std::make_shared<SoundKeeper>(converters, 1.0);
  // Three seconds at 16 kHz in 0.1 s buffers, each buffer holding its own number.
  for (std::int16_t i = 1; i <= 30; ++i) keeper->keep(spoken(i));
  auto wav = keeper->wavBase64();
  ASSERT_TRUE(wav);
  const std::string file = fromBase64(*wav);
  ASSERT_EQ(file.size(), 44u + 32000u);
  EXPECT_EQ(littleAt(file, 40, 4), 32000u);
  EXPECT_EQ(littleAt(file, 44, 2), 1u);
  EXPECT_EQ(littleAt(file, file.size() - 2, 2), 10u);
  EXPECT_EQ(converters.made, 0);
}

// The converter holds back the end of each buffer as a filter does; the held frames still
// reach the recording, at a format change and at the end.
TEST(SoundKeeper, AFormatChangeBuildsANewConverterAndNoFrameIsLost) {
  FakeAudioConverters converters;
  converters.heldBack = 40;
  auto keeper = std::make_shared<SoundKeeper>(converters);
  keeper->keep(floats(48000, 1, std::vector<float>(480, 0.5f)));
  keeper->keep(floats(48000, 1, std::vector<float>(480, 0.5f)));
  keeper->keep(floats(44100, 1, std::vector<float>(441, 0.5f)));
  auto wav = keeper->wavBase64();
  ASSERT_TRUE(wav);
  EXPECT_EQ(fromBase64(*wav).size(), 44u + 3 * 160 * 2);
  EXPECT_EQ(converters.made, 2);
}

TEST(SoundKeeper, WavBase64CanBeAskedAgain) {
  FakeAudioConverters converters;
  auto keeper = std::make_shared<SoundKeeper>(converters);
  keeper->keep(spoken(3));
  auto first = keeper->wavBase64();
  keeper->keep(spoken(4));
  auto second = keeper->wavBase64();
  ASSERT_TRUE(first && second);
  const std::string before = fromBase64(*first), after = fromBase64(*second);
  EXPECT_EQ(after.size(), before.size() + 3200);
  EXPECT_EQ(after.substr(44, before.size() - 44), before.substr(44));
}

TEST(RealSound, SilenceIsNotSoundButQuietSpeechIs) {
  EXPECT_FALSE(isRealSound(floats(48000, 1, {})));
  EXPECT_FALSE(isRealSound(floats(48000, 1, std::vector<float>(512, 0.0f))));
  EXPECT_TRUE(isRealSound(floats(48000, 1, std::vector<float>(512, 0.006f))));
  EXPECT_FALSE(isRealSound(floats(48000, 1, std::vector<float>(512, 0.004f))));
  EXPECT_TRUE(isRealSound(shorts(16000, 1, {0, 0, 0})));
}

TEST(RealSound, OnlyChannelZeroOfInterleavedAudioCounts) {
  std::vector<float> samples;
  for (int i = 0; i < 256; ++i) samples.insert(samples.end(), {0.0f, 0.5f});
  EXPECT_FALSE(isRealSound(floats(48000, 2, samples)));
}
