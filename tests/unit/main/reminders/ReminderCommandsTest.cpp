#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <ctime>

#include "fakes/FakeConsole.h"
#include "support/CommandOutcome.h"
#include "fakes/FakePlatform.h"
#include "base/Context.h"
#include "main/reminders/ReminderCommands.h"
#include "base/TimeText.h"
#include "base/Timings.h"

namespace {

using nlohmann::json;

constexpr const char* NO_LIST =
    "Vesk couldn't make its list in Reminders: none of your accounts would take it. Open System "
    "Settings \u2192 Apple Account \u2192 iCloud and turn on Reminders (or add a list in the "
    "Reminders app), then try again.";

class ReminderCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    store.accountList = {{"local", "local", "On This Computer"},
                         {"icloud", "calDAV", "iCloud"},
                         {"work", "exchange", "Work"}};
    store.lists = {StoreCalendar{"personal", "Personal", "local", "On This Computer", "", true}};
    store.defaultList = "personal";
  }
  void TearDown() override {
    unsetenv("TZ");
    tzset();
  }

  int run(std::vector<std::string> args) {
    Context context{fakes.platform, console, timings};
    return endStatus([&] { runReminders(context, args); });
  }

  Reminder& item(std::string id, std::string list) {
    Reminder reminder;
    reminder.id = std::move(id);
    reminder.listId = std::move(list);
    reminder.title = reminder.id;
    store.items.push_back(reminder);
    return store.items.back();
  }

  FakePlatform fakes;
  FakeEventStore& store = *fakes.eventStore;
  FakeConsole console;
  Timings timings;
};

}  // namespace

TEST_F(ReminderCommandsTest, AccessIsAnsweredWithoutTheList) {
  store.answers = false;
  ASSERT_EQ(run({"reminders-access"}), 0);
  EXPECT_EQ(console.stdoutText(), R"({"access":false})");
  EXPECT_EQ(run({"reminders"}), 2);
  EXPECT_EQ(console.stderrText(),
            "Reminders access denied. Allow Vesk in System Settings \u2192 Privacy & Security "
            "\u2192 Reminders.");
  EXPECT_TRUE(store.listAttempts.empty());
}

TEST_F(ReminderCommandsTest, TheListIsMadeInTheDefaultAccountFirstAndOnlyOnce) {
  ASSERT_EQ(run({"reminders"}), 0);
  EXPECT_EQ(store.listAttempts, std::vector<std::string>{"local"});
  ASSERT_EQ(store.lists.size(), 2u);
  EXPECT_EQ(store.lists[1].title, "Vesk");
  ASSERT_EQ(run({"reminders"}), 0);
  EXPECT_EQ(store.listAttempts.size(), 1u);
}

TEST_F(ReminderCommandsTest, ARefusingAccountIsFollowedByTheNextInOrder) {
  store.defaultList.reset();
  store.refusingAccounts = {"icloud"};
  ASSERT_EQ(run({"reminders"}), 0);
  EXPECT_EQ(store.listAttempts, (std::vector<std::string>{"icloud", "local"}));
  EXPECT_EQ(store.lists.back().accountId, "local");
}

TEST_F(ReminderCommandsTest, NoAccountTakingTheListEndsWithStatusFive) {
  store.refusingAccounts = {"local", "icloud", "work"};
  EXPECT_EQ(run({"reminder-add", "{}"}), 5);
  EXPECT_EQ(console.stderrText(), NO_LIST);
  EXPECT_EQ(store.listAttempts, (std::vector<std::string>{"local", "icloud"}));
  EXPECT_TRUE(store.items.empty());
}

TEST_F(ReminderCommandsTest, TheFirstOfTwoVeskListsIsUsed) {
  store.lists.push_back(StoreCalendar{"v1", "Vesk", "local", "", "", true});
  store.lists.push_back(StoreCalendar{"v2", "Vesk", "icloud", "", "", true});
  item("in-second", "v2");
  item("in-first", "v1");
  ASSERT_EQ(run({"reminders"}), 0);
  EXPECT_EQ(json::parse(console.stdoutText()), json::parse(R"([{"id":"in-first","title":"in-first","alert":false}])"));
  EXPECT_TRUE(store.listAttempts.empty());
}

TEST_F(ReminderCommandsTest, WordsAndCountsOutsideTheTableAreUsageErrors) {
  EXPECT_EQ(run({"reminders", "extra"}), 64);
  EXPECT_EQ(run({"reminder-list-order"}), 64);
  EXPECT_EQ(run({"reminder-update", "id"}), 64);
  EXPECT_EQ(run({"reminders-done", "01.03.2025"}), 64);
  EXPECT_EQ(run({"reminders-done", "6888-08-06"}), 64);
  EXPECT_EQ(run({"reminder-add", "[1]"}), 64);
}

TEST_F(ReminderCommandsTest, RemindersOfOtherListsAreNotInVesk) {
  store.lists.push_back(StoreCalendar{"vesk", "Vesk", "local", "", "", true});
  item("elsewhere", "personal");
  EXPECT_EQ(run({"reminder-delete", "elsewhere"}), 4);
  EXPECT_EQ(console.stderrText(), "No such reminder in Vesk");
  EXPECT_EQ(run({"reminder-update", "missing", "not json"}), 4);
  EXPECT_EQ(store.items.size(), 1u);
}

TEST_F(ReminderCommandsTest, AddUpdateDeleteInTheAppsList) {
  ASSERT_EQ(run({"reminder-add", R"({"title":"Call","due":"2025-03-01","priority":"medium"})"}), 0);
  auto added = json::parse(console.stdoutText());
  EXPECT_EQ(added["title"], "Call");
  EXPECT_EQ(added["due"], "2025-03-01");
  EXPECT_EQ(added["priority"], "medium");
  std::string id = added["id"];
  EXPECT_EQ(store.items.at(0).listId, store.lists.back().id);

  ASSERT_EQ(run({"reminder-update", id, R"({"done":true})"}), 0);
  EXPECT_TRUE(console.stdoutText().ends_with("{}"));
  EXPECT_TRUE(store.items.at(0).completed);
  ASSERT_EQ(run({"reminder-delete", id}), 0);
  EXPECT_TRUE(store.items.empty());
}

TEST_F(ReminderCommandsTest, ADueDayBeyondTheClockIsNoDueDay) {
  ASSERT_EQ(run({"reminder-add", R"({"title":"Far","due":"6888-08-06","time":"9:00"})"}), 0);
  EXPECT_EQ(json::parse(console.stdoutText()).count("due"), 0u);
  EXPECT_FALSE(store.items.at(0).due);
}

TEST_F(ReminderCommandsTest, SaveRefusalsArePrefixed) {
  store.refusal = "The list is read-only.";
  EXPECT_EQ(run({"reminder-add", "{}"}), 1);
  EXPECT_EQ(console.stderrText(), "Reminders: The list is read-only.");
}

TEST_F(ReminderCommandsTest, DoneSinceStartsAtLocalMidnight) {
  store.lists.push_back(StoreCalendar{"vesk", "Vesk", "local", "", "", true});
  auto& atMidnight = item("midnight", "vesk");
  atMidnight.completed = true;
  atMidnight.completionDate = readIso("2025-02-28T23:00:00.000Z");  // 00:00 in Berlin
  auto& evening = item("evening", "vesk");
  evening.completed = true;
  evening.completionDate = readIso("2025-02-28T22:59:59.000Z");
  item("open", "vesk");
  ASSERT_EQ(run({"reminders-done", "2025-03-01"}), 0);
  EXPECT_EQ(json::parse(console.stdoutText()),
            json::parse(R"([{"id":"midnight","title":"midnight","alert":false,"doneAt":"2025-02-28T23:00:00Z"}])"));
}
