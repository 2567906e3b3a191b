#include <gtest/gtest.h>

#include <regex>

#include "listening/output/IsoTime.h"

TEST(IsoTime, UtcWithMilliseconds) {
  using namespace std::chrono;
  sys_days day = year(2026) / December / 8;
  auto when = day + hours(12) + minutes(34) + seconds(56) + milliseconds(789);
  EXPECT_EQ(isoTime(when), "2026-12-08T12:34:56.789Z");
  EXPECT_EQ(isoTime(sys_days(year(2027) / January / 1)), "2027-01-01T00:00:00.000Z");
  // Sub-millisecond parts are cut, never rounded up into the next second.
  EXPECT_EQ(isoTime(day + microseconds(999999)), "2026-12-08T00:00:00.999Z");
}

TEST(IsoTime, NowHasTheShape) {
  EXPECT_TRUE(std::regex_match(isoTimeNow(),
                               std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)")));
}
