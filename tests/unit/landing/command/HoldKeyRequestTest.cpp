#include "landing/command/HoldKeyRequest.h"

#include <gtest/gtest.h>

TEST(HoldKeyRequest, StopIsTheWordWithSpacesAndTabsAround) {
  for (const char* line : {"stop", "  stop\t", "\tstop "}) EXPECT_TRUE(HoldKeyRequest::isStop(line));
  for (const char* line : {"", "stops", "s top", "STOP", "{\"stop\":1}"}) {
    EXPECT_FALSE(HoldKeyRequest::isStop(line)) << line;
  }
}

TEST(HoldKeyRequest, LandCarriesAnIntegerAppOnly) {
  auto land = std::get<HoldKeyRequest::Land>(HoldKeyRequest::parse(R"({"land":"a/b","app":12})"));
  EXPECT_EQ(land.text, "a/b");
  EXPECT_EQ(land.app, 12);
  for (const char* line : {R"({"land":"x","app":"12"})", R"({"land":"x","app":1.5})",
                           R"({"land":"x","app":null})"}) {
    EXPECT_FALSE(std::get<HoldKeyRequest::Land>(HoldKeyRequest::parse(line)).app) << line;
  }
  EXPECT_TRUE(std::holds_alternative<HoldKeyRequest::Front>(
      HoldKeyRequest::parse(R"({"land":1,"copy":2,"front":false})")));
  EXPECT_TRUE(std::holds_alternative<HoldKeyRequest::Nothing>(HoldKeyRequest::parse("{}")));
}
