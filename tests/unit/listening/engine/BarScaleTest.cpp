#include <gtest/gtest.h>

#include <limits>

#include "listening/engine/BarScale.h"

TEST(BarScale, LevelsThatAreNotPositiveAndFiniteGiveZeroAndLeaveTheRoom) {
  BarScale scale;
  for (float level : {0.0f, -0.5f, std::numeric_limits<float>::quiet_NaN(),
                      std::numeric_limits<float>::infinity()}) {
    EXPECT_EQ(scale.height(level), 0.0);
    EXPECT_EQ(scale.roomDb, -45.0f);
  }
}

TEST(BarScale, TheRoomFallsAtOnceButNeverBelowItsFloor) {
  BarScale scale;
  EXPECT_EQ(scale.height(0.001f), 0.0);  // -60 dB
  EXPECT_EQ(scale.roomDb, -50.0f);
}

TEST(BarScale, LevelsAboveTheRoomFillTheBar) {
  BarScale scale;
  scale.height(0.001f);
  EXPECT_EQ(scale.height(0.1f), 1.0);  // -20 dB: 1.35 clamped
  EXPECT_EQ(scale.roomDb, -49.5f);
  BarScale fresh;
  fresh.height(0.001f);
  EXPECT_NEAR(fresh.height(0.01f), 0.325, 0.006);  // -40 dB over a room of -49.5 dB
  EXPECT_EQ(fresh.height(2.0f), 1.0);           // louder than full scale counts as 0 dB
}

TEST(BarScale, ASteadyNoiseFadesFromTheBar) {
  BarScale scale;
  scale.height(0.001f);
  double first = scale.height(0.01f);
  double last = first;
  for (int i = 0; i < 40; ++i) last = scale.height(0.01f);
  EXPECT_GT(first, 0.0);
  EXPECT_EQ(last, 0.0);
  EXPECT_FLOAT_EQ(scale.roomDb, -40.0f);
}
