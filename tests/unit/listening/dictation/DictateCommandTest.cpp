#include <gtest/gtest.h>

#include <cmath>

#include "listening/dictation/DictateCommand.h"

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
  EXPECT_EQ(dictateControlWord(" \tstop \t"), "stop");
  EXPECT_EQ(dictateControlWord("cancel\r"), "cancel");
  EXPECT_EQ(dictateControlWord("STOP"), "STOP");
  EXPECT_EQ(dictateControlWord("st op"), "st op");
  EXPECT_EQ(dictateControlWord("   "), "");
}
