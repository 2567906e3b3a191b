// The calendar commands of the built binary against a real calendar store of their own.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <thread>

#include "support/PrivateStore.h"
#include "support/Services.h"

namespace {

using nlohmann::json;

const char* const WEEKLY =
    "BEGIN:VEVENT\r\nUID:standup\r\nSUMMARY:Standup\r\nLOCATION:Room 1\r\n"
    "DTSTART;TZID=Europe/Berlin:20250303T090000\r\nDTEND;TZID=Europe/Berlin:20250303T093000\r\n"
    "RRULE:FREQ=WEEKLY\r\nEND:VEVENT\r\n";
const char* const MARCH_FROM = "2025-03-01T00:00:00.000Z";
const char* const MARCH_TO = "2025-03-29T00:00:00.000Z";

json calendarNamed(const json& calendars, const std::string& title) {
  for (const auto& calendar : calendars) {
    if (calendar["title"] == title) return calendar;
  }
  ADD_FAILURE() << "no calendar " << title << " in " << calendars.dump();
  return json::object();
}

std::vector<std::string> startsOf(const json& events) {
  std::vector<std::string> starts;
  for (const auto& event : events) starts.push_back(event["start"]);
  return starts;
}

class CalendarE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    requireServices();
    work = store.seed({"calendar", "Work", "#ff0000"});
  }

  json events(const std::string& calendar, const char* from = MARCH_FROM, const char* to = MARCH_TO) {
    return store.reply({"events", from, to, calendar});
  }

  PrivateStore store;
  std::string work;
};

}  // namespace

TEST_F(CalendarE2eTest, CalendarsComeWithAccountColourWritabilityAndDefault) {
  std::string icsPath = (store.scratch().root() / "fixed.ics").string();
  std::ofstream(icsPath) << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nEND:VCALENDAR\r\n";
  store.seed({"readonly-calendar", "Fixed", icsPath});

  json calendars = store.reply({"calendars"});
  json personal = calendarNamed(calendars, "Personal");
  EXPECT_EQ(personal["isDefault"], true);
  EXPECT_EQ(personal["writable"], true);
  EXPECT_EQ(personal["account"], "On This Computer");
  EXPECT_EQ(personal["id"], store.seed({"default", "events"}));
  json mine = calendarNamed(calendars, "Work");
  EXPECT_EQ(mine, (json{{"id", work}, {"title", "Work"}, {"account", "On This Computer"},
                        {"color", "#FF0000"}, {"writable", true}, {"isDefault", false}}));
  EXPECT_EQ(calendarNamed(calendars, "Fixed")["writable"], false);
}

TEST_F(CalendarE2eTest, OneOccurrenceOfAWeeklyEventChangesAndGoesAlone) {
  store.seed({"add", "events", work, WEEKLY});
  json all = events(work);
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(startsOf(all), (std::vector<std::string>{"2025-03-03T08:00:00.000Z", "2025-03-10T08:00:00.000Z",
                                                      "2025-03-17T08:00:00.000Z", "2025-03-24T08:00:00.000Z"}));
  for (const auto& event : all) {
    EXPECT_EQ(event["id"], "standup");
    EXPECT_EQ(event["editable"], true);
  }

  json moved = store.reply({"event-update", R"({"id":"standup","at":"2025-03-10T08:00:00.000Z","title":"Moved standup","start":"2025-03-10T10:00:00.000Z","end":"2025-03-10T10:30:00.000Z","location":""})"});
  EXPECT_EQ(moved["title"], "Moved standup");
  EXPECT_EQ(moved["start"], "2025-03-10T10:00:00.000Z");
  EXPECT_EQ(moved["location"], "");
  std::string movedId = moved["id"];
  EXPECT_TRUE(movedId.starts_with("standup/RID=")) << movedId;

  // The detached occurrence is found again by the plain identifier and its new start.
  json again = store.reply({"event-update", R"({"id":"standup","at":"2025-03-10T10:00:00.000Z","notes":"Agenda"})"});
  EXPECT_EQ(again["id"], movedId);
  EXPECT_EQ(again["notes"], "Agenda");

  EXPECT_EQ(store.reply({"event-delete", R"({"id":"standup/RID=anything","at":"2025-03-17T08:00:00.000Z"})"}),
            (json{{"deleted", true}}));

  all = events(work);
  EXPECT_EQ(startsOf(all), (std::vector<std::string>{"2025-03-03T08:00:00.000Z", "2025-03-10T10:00:00.000Z",
                                                      "2025-03-24T08:00:00.000Z"}));
  EXPECT_EQ(all[0]["title"], "Standup");
  EXPECT_EQ(all[0]["location"], "Room 1");
  EXPECT_EQ(all[2]["title"], "Standup");
  EXPECT_EQ(all[1]["title"], "Moved standup");

  RunResult offBySecond = store.vesk({"event-delete", R"({"id":"standup","at":"2025-03-24T08:00:01.000Z"})"});
  EXPECT_EQ(offBySecond.status, 1);
  EXPECT_EQ(offBySecond.err, "That event isn't in your calendar any more.");
  EXPECT_EQ(offBySecond.out, "");
  EXPECT_EQ(events(work).size(), 3u);
}

TEST_F(CalendarE2eTest, AttendeesOrganisersAndTheUsersOwnAnswer) {
  store.seed({"identity", "me@example.com"});
  store.seed({"add", "events", work,
              "BEGIN:VEVENT\r\nUID:review\r\nSUMMARY:Review\r\n"
              "DTSTART:20250304T130000Z\r\nDTEND:20250304T140000Z\r\n"
              "ORGANIZER;CN=Boss:mailto:boss@example.com\r\n"
              "ATTENDEE;CN=Me;PARTSTAT=DECLINED:mailto:me@example.com\r\n"
              "ATTENDEE;CN=J\xC3\xBCrgen;PARTSTAT=TENTATIVE:mailto:j%C3%BCrgen@example.com\r\n"
              "ATTENDEE;PARTSTAT=ACCEPTED:urn:uuid:room-1\r\nEND:VEVENT\r\n"});
  store.seed({"add", "events", work,
              "BEGIN:VEVENT\r\nUID:mine\r\nSUMMARY:Mine\r\n"
              "DTSTART:20250305T130000Z\r\nDTEND:20250305T140000Z\r\n"
              "ORGANIZER;CN=Me:mailto:ME@example.com\r\n"
              "ATTENDEE;CN=Me;PARTSTAT=ACCEPTED:mailto:me@example.com\r\n"
              "ATTENDEE;CN=Anna:mailto:anna@example.com\r\nEND:VEVENT\r\n"});

  json all = events(work);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0]["attendees"], json::parse(R"([
    {"name":"Boss","email":"boss@example.com","status":"pending","organizer":true},
    {"name":"Me","email":"me@example.com","status":"declined","organizer":false},
    {"name":"Jürgen","email":"jürgen@example.com","status":"tentative","organizer":false},
    {"name":"","email":"","status":"accepted","organizer":false}])"));
  EXPECT_EQ(all[0]["declined"], true);
  EXPECT_EQ(all[0]["editable"], false);
  EXPECT_EQ(all[1]["editable"], true);
  EXPECT_EQ(all[1]["attendees"][0]["organizer"], true);
  EXPECT_EQ(all[1]["attendees"].size(), 2u);

  RunResult refused = store.vesk({"event-update", R"({"id":"review","at":"2025-03-04T13:00:00.000Z","title":"Mine now"})"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "Only its organiser can change that event.");
  EXPECT_EQ(store.vesk({"event-delete", R"({"id":"review","at":"2025-03-04T13:00:00.000Z"})"}).status, 1);
  EXPECT_EQ(store.reply({"event-update", R"({"id":"mine","at":"2025-03-05T13:00:00.000Z","title":"Still mine"})"})["title"],
            "Still mine");
  EXPECT_EQ(events(work)[0]["title"], "Review");
}

TEST_F(CalendarE2eTest, ReadOnlyCalendarsTakeNoEventsAndTheirEventsAreNotEditable) {
  std::string icsPath = (store.scratch().root() / "holidays.ics").string();
  std::ofstream(icsPath) << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
                            "BEGIN:VEVENT\r\nUID:feast\r\nSUMMARY:Feast\r\n"
                            "DTSTART;VALUE=DATE:20250306\r\nDTEND;VALUE=DATE:20250307\r\n"
                            "END:VEVENT\r\nEND:VCALENDAR\r\n";
  std::string holidays = store.seed({"readonly-calendar", "Holidays", icsPath});

  json all = events(holidays);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0]["allDay"], true);
  EXPECT_EQ(all[0]["start"], "2025-03-05T23:00:00.000Z");  // local midnight in Berlin
  EXPECT_EQ(all[0]["editable"], false);

  RunResult add = store.vesk({"event-add", R"({"title":"x","calendarId":")" + holidays +
                                               R"(","start":"2025-03-01T09:00:00.000Z","end":"2025-03-01T10:00:00.000Z"})"});
  EXPECT_EQ(add.status, 1);
  EXPECT_EQ(add.err, "That calendar can't be written to.");
  RunResult change = store.vesk({"event-delete", R"({"id":"feast","at":"2025-03-05T23:00:00.000Z"})"});
  EXPECT_EQ(change.status, 1);
  EXPECT_EQ(change.err, "Only its organiser can change that event.");
}

TEST_F(CalendarE2eTest, AddedEventsReadBackAndChangeByTheirRules) {
  json lunch = store.reply({"event-add", R"({"title":"Lunch","calendarId":")" + work +
                                                    R"(","start":"2025-03-04T11:00:00.000Z","end":"2025-03-04T12:00:00.000Z","location":"Café","notes":"Bring \/ share"})"});
  EXPECT_EQ(lunch["title"], "Lunch");
  EXPECT_EQ(lunch["calendarId"], work);
  EXPECT_EQ(lunch["location"], "Café");
  EXPECT_EQ(lunch["notes"], "Bring / share");
  EXPECT_EQ(lunch["allDay"], false);
  EXPECT_EQ(lunch["attendees"], json::array());

  json trip = store.reply({"event-add", R"({"title":"Trip","calendarId":")" + work +
                                                   R"(","start":"2025-03-06T23:00:00.000Z","end":"2025-03-07T23:00:00.000Z","allDay":true})"});
  EXPECT_EQ(trip["allDay"], true);
  EXPECT_EQ(trip["start"], "2025-03-06T23:00:00.000Z");
  EXPECT_EQ(trip["end"], "2025-03-07T23:00:00.000Z");

  std::string at = lunch["start"];
  RunResult backwards = store.vesk({"event-update", R"({"id":")" + lunch["id"].get<std::string>() +
                                                        R"(","at":")" + at + R"(","start":"2025-03-04T13:00:00.000Z"})"});
  EXPECT_EQ(backwards.status, 1);
  EXPECT_EQ(backwards.err, "It has to end after it starts.");
  json cleared = store.reply({"event-update", R"({"id":")" + lunch["id"].get<std::string>() +
                                                         R"(","at":")" + at + R"(","title":"","location":""})"});
  EXPECT_EQ(cleared["title"], "Lunch");
  EXPECT_EQ(cleared["location"], "");
  EXPECT_EQ(store.reply({"event-delete", R"({"id":")" + lunch["id"].get<std::string>() + R"(","at":")" + at + R"("})"}),
            (json{{"deleted", true}}));
  EXPECT_EQ(events(work).size(), 1u);

  RunResult empty = store.vesk({"event-add", R"({"title":"x","calendarId":")" + work +
                                                 R"(","start":"2025-03-01T09:00:00.000Z","end":"2025-03-01T09:00:00.000Z"})"});
  EXPECT_EQ(empty.status, 64);
  EXPECT_EQ(empty.out, "");
  EXPECT_EQ(store.vesk({"events", "2025-03-01T00:00:00Z", MARCH_TO, work}).status, 64);
  EXPECT_EQ(store.reply({"events", MARCH_FROM, MARCH_TO}), json::array());
}

TEST(CalendarAccessE2eTest, AnUnreachableStoreIsDeniedAndItsStatusNotAsked) {
  requireServices();
  PrivateStore store;
  EXPECT_EQ(store.reply({"permission", "calendars"}), (json{{"status", "granted"}}));
  EXPECT_EQ(store.reply({"permission-request", "reminders"}), (json{{"status", "granted"}}));

  RunOptions away = store.options();
  away.env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + (store.scratch().root() / "no-bus").string();
  RunResult calendars = runVesk({"calendars"}, away);
  EXPECT_EQ(calendars.status, 2);
  EXPECT_EQ(calendars.err, "Calendar access denied. Allow Vesk in System Settings \u2192 Privacy & "
                           "Security \u2192 Calendars.");
  EXPECT_EQ(runVesk({"reminders"}, away).status, 2);
  EXPECT_EQ(runVesk({"reminders-access"}, away).out, R"({"access":false})");
  EXPECT_EQ(runVesk({"permission", "reminders"}, away).out, R"({"status":"not-asked"})");
}

TEST_F(CalendarE2eTest, AWeeklyAllDayEventChangesOneDayAtATime) {
  store.seed({"add", "events", work,
              "BEGIN:VEVENT\r\nUID:gym\r\nSUMMARY:Gym day\r\nDTSTART;VALUE=DATE:20250304\r\n"
              "DTEND;VALUE=DATE:20250305\r\nRRULE:FREQ=WEEKLY;COUNT=3\r\nEND:VEVENT\r\n"});
  json all = events(work);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[1]["start"], "2025-03-10T23:00:00.000Z");
  EXPECT_EQ(all[1]["allDay"], true);

  json renamed = store.reply({"event-update", R"({"id":"gym","at":"2025-03-10T23:00:00.000Z","title":"Rest day"})"});
  EXPECT_EQ(renamed["title"], "Rest day");
  EXPECT_EQ(renamed["start"], "2025-03-10T23:00:00.000Z");
  EXPECT_EQ(store.reply({"event-delete", R"({"id":"gym","at":"2025-03-17T23:00:00.000Z"})"}),
            (json{{"deleted", true}}));

  all = events(work);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0]["title"], "Gym day");
  EXPECT_EQ(all[0]["start"], "2025-03-03T23:00:00.000Z");
  EXPECT_EQ(all[1]["title"], "Rest day");
  EXPECT_EQ(all[1]["end"], "2025-03-11T23:00:00.000Z");
}

TEST_F(CalendarE2eTest, OutlookChangesOfAnAllDaySeriesReplaceTheirDay) {
  // As Outlook writes them: the changed occurrence names its day by midnight in the organiser's
  // zone, which is not the user's midnight.
  std::string icsPath = (store.scratch().root() / "outlook.ics").string();
  std::ofstream(icsPath)
      << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
         "BEGIN:VTIMEZONE\r\nTZID:Pacific Standard Time\r\n"
         "BEGIN:STANDARD\r\nDTSTART:16011104T020000\r\nRRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=11\r\n"
         "TZOFFSETFROM:-0700\r\nTZOFFSETTO:-0800\r\nEND:STANDARD\r\n"
         "BEGIN:DAYLIGHT\r\nDTSTART:16010311T020000\r\nRRULE:FREQ=YEARLY;BYDAY=2SU;BYMONTH=3\r\n"
         "TZOFFSETFROM:-0800\r\nTZOFFSETTO:-0700\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n"
         "BEGIN:VEVENT\r\nUID:offsite\r\nSUMMARY:Offsite\r\nDTSTART;VALUE=DATE:20250303\r\n"
         "DTEND;VALUE=DATE:20250304\r\nRRULE:FREQ=WEEKLY;COUNT=4\r\nEND:VEVENT\r\n"
         "BEGIN:VEVENT\r\nUID:offsite\r\nRECURRENCE-ID;TZID=Pacific Standard Time:20250310T000000\r\n"
         "SUMMARY:Offsite moved\r\nDTSTART;VALUE=DATE:20250311\r\nDTEND;VALUE=DATE:20250312\r\n"
         "END:VEVENT\r\nEND:VCALENDAR\r\n";
  std::string exported = store.seed({"readonly-calendar", "Exported", icsPath});

  json all = events(exported);
  std::vector<std::string> titles;
  for (const auto& event : all) titles.push_back(event["title"]);
  EXPECT_EQ(titles, (std::vector<std::string>{"Offsite", "Offsite moved", "Offsite", "Offsite"}));
  EXPECT_EQ(startsOf(all), (std::vector<std::string>{"2025-03-02T23:00:00.000Z", "2025-03-10T23:00:00.000Z",
                                                      "2025-03-16T23:00:00.000Z", "2025-03-23T23:00:00.000Z"}));
}

TEST_F(CalendarE2eTest, AStalledStoreEndsCalendarAndReminderCommandsInTime) {
  events(work);  // the calendar server is running
  pid_t server = store.serviceProcess("org.gnome.evolution.dataserver.Calendar");
  ASSERT_GT(server, 0) << "no calendar server on the test's bus";
  ASSERT_EQ(kill(server, SIGSTOP), 0);

  RunOptions options = store.options();
  options.timeoutSeconds = 25;
  auto timed = [&options](std::vector<std::string> args) {
    auto began = std::chrono::steady_clock::now();
    RunResult result = runVesk(args, options);
    return std::make_pair(result, std::chrono::steady_clock::now() - began);
  };
  // Both at once, so the test waits for one limit only.
  auto calendar = std::async(std::launch::async, timed,
                             std::vector<std::string>{"events", MARCH_FROM, MARCH_TO, work});
  auto reminders = std::async(std::launch::async, timed, std::vector<std::string>{"reminders"});
  auto outcomes = {calendar.get(), reminders.get()};
  kill(server, SIGCONT);

  for (const auto& [result, took] : outcomes) {
    EXPECT_EQ(result.status, 1) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "The calendar store (Evolution Data Server) did not answer in time.");
    EXPECT_LT(took, std::chrono::seconds(20));
  }
}

// The calendar server killed while commands use it, or just before: each ends in time, with the
// right answer from the server the bus starts again, or with status 1 and the store named.
TEST_F(CalendarE2eTest, AKilledStoreFailsOrAnswersButNeverHangs) {
  const json before = events(work);
  RunOptions options = store.options();
  options.timeoutSeconds = 25;
  for (int delay : {0, 150, 400}) {
    SCOPED_TRACE("killed " + std::to_string(delay) + " ms into the command");
    pid_t server = store.serviceProcess("org.gnome.evolution.dataserver.Calendar");
    auto began = std::chrono::steady_clock::now();
    auto running = std::async(std::launch::async, [&options, this] {
      return runVesk({"events", MARCH_FROM, MARCH_TO, work}, options);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    if (server > 0) kill(server, SIGKILL);
    RunResult result = running.get();
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(20));
    if (result.status == 0) {
      EXPECT_EQ(json::parse(result.out), before);
    } else {
      EXPECT_EQ(result.status, 1);
      EXPECT_EQ(result.out, "");
      EXPECT_NE(result.err.find("calendar store (Evolution Data Server)"), std::string::npos) << result.err;
    }
  }
  EXPECT_EQ(events(work), before);  // and the next command finds a store again
}
