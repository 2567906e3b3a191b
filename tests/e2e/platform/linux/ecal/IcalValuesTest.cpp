// The calendar backend's reading and writing of iCalendar values (no service needed; it lives
// with the end-to-end tests because they link the Linux backends).
#include <gtest/gtest.h>

#include "platform/linux/ecal/IcalValues.h"

using namespace icalValues;
using std::chrono::seconds;

TEST(IcalValuesTest, DurationsReadAndWriteBack) {
  EXPECT_EQ(parseDuration("-PT15M"), seconds(-900));
  EXPECT_EQ(parseDuration("PT9H"), seconds(32400));
  EXPECT_EQ(parseDuration("P1DT2H3M4S"), seconds(93784));
  EXPECT_EQ(parseDuration("-P1W"), seconds(-604800));
  EXPECT_EQ(parseDuration("PT0S"), seconds(0));
  EXPECT_FALSE(parseDuration("P"));
  EXPECT_FALSE(parseDuration("PT5D"));
  EXPECT_FALSE(parseDuration("15M"));
  for (long long value : {0LL, -900LL, 32400LL, 93784LL, -604800LL, 59LL}) {
    EXPECT_EQ(parseDuration(durationText(seconds(value))), seconds(value)) << value;
  }
  EXPECT_EQ(durationText(seconds(-900)), "-PT15M");
  EXPECT_EQ(durationText(seconds(0)), "PT0S");
}

TEST(IcalValuesTest, StampsKeepTheirForm) {
  auto date = parseStamp("20250301");
  ASSERT_TRUE(date);
  EXPECT_TRUE(date->dateOnly);
  auto utc = parseStamp("20250301T090000Z");
  ASSERT_TRUE(utc);
  EXPECT_TRUE(utc->utc);
  EXPECT_EQ(momentOf(*utc, {}), std::chrono::system_clock::from_time_t(1740819600));
  EXPECT_FALSE(parseStamp("2025-03-01"));
  EXPECT_FALSE(parseStamp("20250301T0900"));

  Stamp zoned = *parseStamp("20250301T100000");
  zoned.tzid = "Europe/Berlin";
  EXPECT_EQ(momentOf(zoned, {}), momentOf(*utc, {}));
  EXPECT_EQ(propertyLine("DTSTART", zoned), "DTSTART;TZID=Europe/Berlin:20250301T100000");
  Stamp again = stampIn(*momentOf(*utc, {}) + std::chrono::hours(1), zoned, {});
  EXPECT_EQ(valueText(again), "20250301T110000");
  EXPECT_EQ(propertyLine("DUE", *date), "DUE;VALUE=DATE:20250301");
}
