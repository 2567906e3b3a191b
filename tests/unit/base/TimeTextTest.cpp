#include <gtest/gtest.h>

#include <regex>

#include "base/TimeText.h"

using namespace std::chrono;

namespace {

const sys_days DAY = year(2026) / December / 8;

}  // namespace

TEST(TimeTextTest, WrittenForms) {
  struct Case {
    system_clock::time_point when;
    const char* withMilliseconds;
    const char* withSeconds;
  };
  const Case cases[] = {
      {DAY + hours(12) + minutes(34) + seconds(56) + milliseconds(789),
       "2026-12-08T12:34:56.789Z", "2026-12-08T12:34:56Z"},
      {sys_days(year(2027) / January / 1), "2027-01-01T00:00:00.000Z", "2027-01-01T00:00:00Z"},
      // Parts below the written unit are cut, never rounded up into the next one.
      {DAY + microseconds(999999), "2026-12-08T00:00:00.999Z", "2026-12-08T00:00:00Z"},
      {DAY - microseconds(1), "2026-12-07T23:59:59.999Z", "2026-12-07T23:59:59Z"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(isoTime(c.when), c.withMilliseconds);
    EXPECT_EQ(isoSeconds(c.when), c.withSeconds);
  }
  EXPECT_TRUE(std::regex_match(isoTimeNow(),
                               std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)")));
}

TEST(TimeTextTest, ReadsInternetTimesWithFractionalSeconds) {
  const sys_seconds nine = sys_days(year(2025) / March / 1) + hours(9);
  struct Case {
    const char* text;
    system_clock::time_point when;
  };
  const Case cases[] = {
      {"2025-03-01T09:00:00.000Z", nine},
      {"2025-03-01T10:00:00.000+01:00", nine},
      {"2025-03-01T04:30:00.000-04:30", nine},
      {"2025-03-01T09:00:00.5Z", nine + milliseconds(500)},
      {"2025-03-01T09:00:00.123456789Z", nine + nanoseconds(123456789)},
      // The first and last moments taken: the clock (nanoseconds in 64 bits) holds a little more.
      {"1678-01-01T00:00:00.000Z", sys_days(year(1678) / January / 1)},
      {"2261-12-31T23:59:59.999Z", sys_days(year(2262) / January / 1) - milliseconds(1)},
  };
  for (const Case& c : cases) EXPECT_EQ(readIso(c.text), c.when) << c.text;
  // What the program writes reads back.
  EXPECT_EQ(readIso(isoTime(nine + milliseconds(250))), nine + milliseconds(250));
}

TEST(TimeTextTest, ReadsNothingElse) {
  for (const char* text : {"2025-03-01T09:00:00Z", "2025-03-01T09:00:00.000",
                           "2025-02-30T09:00:00.000Z", "2025-03-01 09:00:00.000Z",
                           "2025-03-01T09:00:00.000Z ", "2025-03-01T24:00:00.000Z",
                           "2025-03-01T09:00:00.Z", "2025-03-01T09:00:00.000+0100",
                           "2025-03-01T09:00:00.000+24:00", "2025-3-01T09:00:00.000Z", "",
                           // Moments beyond the clock's span: they once overflowed it.
                           "6888-08-06T00:00:00.000Z", "0000-01-01T00:00:00.000Z",
                           "1677-12-31T23:59:59.999Z", "2262-01-01T00:00:00.000Z",
                           "2261-12-31T23:59:59.000-00:01"}) {
    EXPECT_FALSE(readIso(text)) << text;
  }
}
