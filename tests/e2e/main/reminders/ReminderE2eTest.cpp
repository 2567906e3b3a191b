// The reminder commands of the built binary against a real calendar store of their own.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <map>

#include "support/PrivateStore.h"
#include "support/Services.h"

namespace {

using nlohmann::json;

// The task lists titled "Vesk", as "uid parent" lines.
std::vector<std::string> veskLists(const PrivateStore& store) {
  std::string lines = store.seed({"lists"});
  std::vector<std::string> found;
  std::size_t start = 0;
  while (start < lines.size()) {
    auto end = lines.find('\n', start);
    std::string line = lines.substr(start, end - start);
    if (line.ends_with("\tVesk")) found.push_back(line.substr(0, line.rfind('\t')));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return found;
}

std::string uidOf(const std::string& line) { return line.substr(0, line.find('\t')); }

std::string task(const std::string& uid, const std::string& more) {
  return "BEGIN:VTODO\r\nUID:" + uid + "\r\nSUMMARY:" + uid + "\r\n" + more + "END:VTODO\r\n";
}

class ReminderE2eTest : public ::testing::Test {
 protected:
  void SetUp() override { requireServices(); }
  PrivateStore store;
};

}  // namespace

TEST_F(ReminderE2eTest, TheListIsMadeOnceInTheLocalAccountAndThenReused) {
  EXPECT_TRUE(veskLists(store).empty());
  EXPECT_EQ(store.reply({"reminders"}), json::array());
  auto lists = veskLists(store);
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_TRUE(lists[0].ends_with("\tlocal-stub")) << lists[0];

  std::string id = store.reply({"reminder-add", R"({"title":"Buy milk"})"})["id"];
  EXPECT_EQ(veskLists(store).size(), 1u);
  EXPECT_NE(store.seed({"objects", "tasks", uidOf(lists[0])}).find("SUMMARY:Buy milk"), std::string::npos);
  EXPECT_EQ(store.reply({"reminders"}),
            (json::array({{{"id", id}, {"title", "Buy milk"}, {"alert", false}}})));
}

TEST_F(ReminderE2eTest, AnExistingVeskListIsUsedAndOtherListsAreOutOfReach) {
  std::string vesk = store.seed({"task-list", "Vesk"});
  std::string personal = store.seed({"default", "tasks"});
  store.seed({"add", "tasks", vesk, task("kept", "PRIORITY:3\r\nRRULE:FREQ=WEEKLY;BYDAY=MO,FR\r\nDUE;VALUE=DATE:20250301\r\n")});
  store.seed({"add", "tasks", personal, task("private", "")});

  json open = store.reply({"reminders"});
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0], (json{{"id", "kept"}, {"title", "kept"}, {"alert", false}, {"due", "2025-03-01"},
                           {"priority", "high"}, {"repeat", "custom"}}));
  EXPECT_EQ(veskLists(store).size(), 1u);

  RunResult other = store.vesk({"reminder-delete", "private"});
  EXPECT_EQ(other.status, 4);
  EXPECT_EQ(other.err, "No such reminder in Vesk");
  EXPECT_EQ(store.vesk({"reminder-update", "nothing", "not json"}).status, 4);
  EXPECT_EQ(store.vesk({"reminder-update", "kept", "not json"}).status, 64);

  // A custom repetition survives an update that does not name another one.
  EXPECT_EQ(store.reply({"reminder-update", "kept", R"({"repeat":"custom","title":"Kept"})"}), json::object());
  std::string stored = store.seed({"objects", "tasks", vesk});
  EXPECT_NE(stored.find("RRULE:FREQ=WEEKLY;BYDAY=MO,FR"), std::string::npos) << stored;
  EXPECT_NE(stored.find("SUMMARY:Kept"), std::string::npos);
  EXPECT_EQ(store.reply({"reminder-delete", "kept"}), json::object());
  EXPECT_EQ(store.reply({"reminders"}), json::array());
  EXPECT_NE(store.seed({"objects", "tasks", personal}).find("UID:private"), std::string::npos);
}

TEST_F(ReminderE2eTest, DueTimeAlertPriorityRepeatAndLinkRoundTrip) {
  json added = store.reply({"reminder-add", R"({"title":"Water plants","notes":"Balcony too","link":"https://example.com/plants","due":"2025-03-01","time":"10:00","alert":true,"priority":"low","repeat":"weekly"})"});
  std::string id = added["id"];
  json expected = {{"id", id},           {"title", "Water plants"}, {"alert", true},
                   {"notes", "Balcony too"}, {"link", "https://example.com/plants"},
                   {"due", "2025-03-01"}, {"time", "10:00"},         {"priority", "low"},
                   {"repeat", "weekly"}, {"alertAt", "2025-03-01 10:00"}};
  EXPECT_EQ(added, expected);
  EXPECT_EQ(store.reply({"reminders"}), json::array({expected}));

  EXPECT_EQ(store.reply({"reminder-update", id, R"({"due":"2025-03-02"})"}), json::object());
  json moved = store.reply({"reminders"})[0];
  EXPECT_EQ(moved["due"], "2025-03-02");
  EXPECT_EQ(moved["time"], "10:00");
  EXPECT_EQ(moved["alert"], false);
  EXPECT_EQ(moved["repeat"], "weekly");

  store.reply({"reminder-update", id, R"({"time":"9:5","alert":true,"priority":"urgent","link":"not a link"})"});
  json retimed = store.reply({"reminders"})[0];
  EXPECT_EQ(retimed["time"], "09:05");
  EXPECT_EQ(retimed["alertAt"], "2025-03-02 09:05");
  EXPECT_FALSE(retimed.contains("priority"));
  EXPECT_FALSE(retimed.contains("link"));

  store.reply({"reminder-update", id, R"({"due":null})"});
  json undated = store.reply({"reminders"})[0];
  EXPECT_EQ(undated, (json{{"id", id}, {"title", "Water plants"}, {"alert", false}, {"notes", "Balcony too"}}));

  store.reply({"reminder-update", id, R"({"due":"2025-03-03","repeat":"daily","alert":true})"});
  json allDay = store.reply({"reminders"})[0];
  EXPECT_FALSE(allDay.contains("time"));
  EXPECT_EQ(allDay["alertAt"], "2025-03-03 09:00");
  EXPECT_EQ(allDay["repeat"], "daily");
}

TEST_F(ReminderE2eTest, DoneRemindersLeaveTheOpenOnesAndCountFromLocalMidnight) {
  std::string vesk = store.seed({"task-list", "Vesk"});
  store.seed({"add", "tasks", vesk, task("midnight", "STATUS:COMPLETED\r\nCOMPLETED:20250228T230000Z\r\n")});
  store.seed({"add", "tasks", vesk, task("evening", "STATUS:COMPLETED\r\nCOMPLETED:20250228T225959Z\r\n")});
  store.seed({"add", "tasks", vesk, task("open", "")});

  EXPECT_EQ(store.reply({"reminders-done", "2025-03-01"}),
            json::parse(R"([{"id":"midnight","title":"midnight","alert":false,"doneAt":"2025-02-28T23:00:00Z"}])"));
  EXPECT_EQ(store.reply({"reminders-done", "2025-02-28"}).size(), 2u);
  EXPECT_EQ(store.vesk({"reminders-done", "01.03.2025"}).status, 64);

  EXPECT_EQ(store.reply({"reminder-update", "open", R"({"done":true})"}), json::object());
  EXPECT_EQ(store.reply({"reminders"}), json::array());
  json done = store.reply({"reminders-done", "2025-03-01"});
  ASSERT_EQ(done.size(), 2u);
  EXPECT_EQ(done[1]["id"], "open");

  EXPECT_EQ(store.reply({"reminder-update", "midnight", R"({"done":false})"}), json::object());
  std::string stored = store.seed({"objects", "tasks", vesk});
  EXPECT_EQ(store.reply({"reminders"})[0]["id"], "midnight") << stored;
}

TEST_F(ReminderE2eTest, AlarmsOtherProgramsWroteAreReadAndAFixedOneMovesWhenARepeatIsDone) {
  std::string vesk = store.seed({"task-list", "Vesk"});
  const std::string alarm = "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:x\r\n";
  store.seed({"add", "tasks", vesk,
              task("relative", "DUE:20250301T100000\r\n" + alarm +
                                   "TRIGGER;RELATED=END:-PT15M\r\nEND:VALARM\r\n")});
  store.seed({"add", "tasks", vesk,
              task("undated", alarm + "TRIGGER;RELATED=END:-PT15M\r\nEND:VALARM\r\n")});
  store.seed({"add", "tasks", vesk,
              task("fixed", "DUE;VALUE=DATE:20250301\r\nRRULE:FREQ=DAILY\r\n" + alarm +
                                "TRIGGER;VALUE=DATE-TIME:20250301T070000Z\r\nEND:VALARM\r\n")});

  json open = store.reply({"reminders"});
  ASSERT_EQ(open.size(), 3u);
  std::map<std::string, json> byId;
  for (const auto& reminder : open) byId[reminder["id"]] = reminder;
  EXPECT_EQ(byId["relative"]["alertAt"], "2025-03-01 09:45");
  EXPECT_EQ(byId["undated"]["alert"], true);
  EXPECT_FALSE(byId["undated"].contains("alertAt"));
  EXPECT_EQ(byId["fixed"]["alertAt"], "2025-03-01 08:00");
  EXPECT_EQ(byId["fixed"]["repeat"], "daily");

  // Done once, a daily reminder leaves a done copy of that day and moves on to the next one.
  EXPECT_EQ(store.reply({"reminder-update", "fixed", R"({"done":true})"}), json::object());
  json done = store.reply({"reminders-done", "2025-01-01"});
  ASSERT_EQ(done.size(), 1u);
  EXPECT_NE(done[0]["id"], "fixed");
  EXPECT_EQ(done[0]["title"], "fixed");
  EXPECT_EQ(done[0]["due"], "2025-03-01");
  EXPECT_EQ(done[0]["alertAt"], "2025-03-01 09:00");
  EXPECT_FALSE(done[0].contains("repeat"));
  json moved;
  for (const auto& reminder : store.reply({"reminders"})) {
    if (reminder["id"] == "fixed") moved = reminder;
  }
  EXPECT_EQ(moved["due"], "2025-03-02");
  EXPECT_EQ(moved["repeat"], "daily");
  EXPECT_EQ(moved["alertAt"], "2025-03-02 09:00");
  std::string stored = store.seed({"objects", "tasks", vesk});
  EXPECT_EQ(stored.find("TRIGGER;VALUE=DATE-TIME"), std::string::npos) << stored;
}

TEST_F(ReminderE2eTest, TheLastOccurrenceOfARepeatSimplyCompletes) {
  std::string vesk = store.seed({"task-list", "Vesk"});
  store.seed({"add", "tasks", vesk,
              task("twice", "DUE:20250301T083000\r\nRRULE:FREQ=WEEKLY;COUNT=2\r\n")});
  store.reply({"reminder-update", "twice", R"({"done":true})"});
  json open = store.reply({"reminders"});
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0]["due"], "2025-03-08");
  EXPECT_EQ(open[0]["time"], "08:30");
  EXPECT_EQ(open[0]["repeat"], "custom");

  store.reply({"reminder-update", "twice", R"({"done":true})"});
  EXPECT_EQ(store.reply({"reminders"}), json::array());
  json done = store.reply({"reminders-done", "2025-01-01"});
  ASSERT_EQ(done.size(), 2u);
}
