#include <gtest/gtest.h>

#include "main/reminders/ReminderListOrder.h"

TEST(ReminderListOrder, DefaultThenICloudThenListHoldersThenLocal) {
  std::vector<ListSource> sources = {
      {"ex", "exchange", "Work", false},        {"loc", "local", "On My Mac", false},
      {"cal", "calDAV", "iCloud", false},       {"g", "calDAV", "Google", true},
      {"cal2", "calDAV", "iCloud", true},       {"loc2", "local", "Other", true},
  };
  EXPECT_EQ(reminderListOrder(std::string("g"), sources),
            (std::vector<std::string>{"g", "cal", "cal2", "loc2", "loc"}));
  EXPECT_EQ(reminderListOrder(std::nullopt, {{"ex", "exchange", "Work", false}}),
            std::vector<std::string>{});
}

TEST(ReminderListOrder, EachIdOnce) {
  std::vector<ListSource> sources = {{"loc", "local", "iCloud", true}};
  EXPECT_EQ(reminderListOrder(std::string("loc"), sources), std::vector<std::string>{"loc"});
}

TEST(ListSource, TakesOnlyFieldsOfTheRightType) {
  auto source = ListSource::fromJson(
      {{"id", 5}, {"kind", "local"}, {"title", nullptr}, {"hasReminderLists", "yes"}});
  EXPECT_EQ(source.id, "");
  EXPECT_EQ(source.kind, "local");
  EXPECT_EQ(source.title, "");
  EXPECT_FALSE(source.hasReminderLists);
  EXPECT_TRUE(ListSource::fromJson({{"hasReminderLists", true}}).hasReminderLists);
}
