#include <gtest/gtest.h>

#include <cmath>

#include "listening/dictation/DictateCommand.h"
#include "base/ControlWord.h"

TEST(DictateCommand, ModesMapToTheirQuietTimes) {
  EXPECT_EQ(dictateQuietSeconds("mic"), 1.5);
  EXPECT_EQ(dictateQuietSeconds("mic-keep"), 1.5);
  EXPECT_EQ(dictateQuietSeconds("talk"), 0.8);
  EXPECT_TRUE(std::isinf(*dictateQuietSeconds("hold")));
  EXPECT_TRUE(std::isinf(*dictateQuietSeconds("hold-keep")));
  EXPECT_FALSE(dictateQuietSeconds("Mic"));
  EXPECT_FALSE(dictateQuietSeconds("keep"));
}

TEST(DictateCommand, ControlWordsLoseSurroundingSpacesAndTabsOnly) {
  EXPECT_EQ(controlWord(" \tstop \t"), "stop");
  EXPECT_EQ(controlWord("cancel\r"), "cancel");
  EXPECT_EQ(controlWord("STOP"), "STOP");
  EXPECT_EQ(controlWord("st op"), "st op");
  EXPECT_EQ(controlWord("   "), "");
}
