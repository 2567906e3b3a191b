#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "fakes/FakeConsole.h"
#include "support/CommandOutcome.h"
#include "fakes/FakePlatform.h"
#include "main/calendar/CalendarCommands.h"
#include "base/Context.h"
#include "main/permissions/Permissions.h"
#include "base/TimeText.h"
#include "base/Timings.h"

namespace {

using nlohmann::json;

class CalendarCommandsTest : public ::testing::Test {
 protected:
  CalendarCommandsTest() {
    store.calendars = {StoreCalendar{"work", "Work", "local", "On This Computer", "#ff0000", true},
                       StoreCalendar{"holidays", "Holidays", "local", "On This Computer", "", false}};
    store.defaultCalendar = "work";
    store.occurrences = {occurrence("standup", "work", "2025-03-03T08:00:00.000Z", "k1"),
                         occurrence("standup", "work", "2025-03-10T08:00:00.000Z", "k2"),
                         occurrence("feast", "holidays", "2025-03-03T08:00:00.000Z", "k3")};
  }

  static CalendarEvent occurrence(std::string id, std::string calendar, const char* start,
                                  std::string key) {
    CalendarEvent event;
    event.id = std::move(id);
    event.calendarId = std::move(calendar);
    event.title = "Standup";
    event.location = "Room 1";
    event.start = readIso(start).value();
    event.end = event.start + std::chrono::minutes(30);
    event.storeKey = std::move(key);
    return event;
  }

  int run(std::vector<std::string> args) {
    Context context{fakes.platform, console, timings};
    return endStatus([&] { runCalendarCommand(context, args); });
  }

  json reply() const { return json::parse(console.stdoutText()); }

  // Standard error since the usage texts of earlier runs.
  std::string lastError() const {
    std::string text = console.stderrText();
    auto end = text.rfind("none>");
    return end == std::string::npos ? text : text.substr(end + 5);
  }

  FakePlatform fakes;
  FakeEventStore& store = *fakes.eventStore;
  FakeConsole console;
  Timings timings;
};

}  // namespace

TEST_F(CalendarCommandsTest, CalendarsCarryColourWritabilityAndDefault) {
  ASSERT_EQ(run({"calendars", "ignored"}), 0);
  EXPECT_EQ(reply(), json::parse(R"([
    {"id":"work","title":"Work","account":"On This Computer","color":"#FF0000","writable":true,"isDefault":true},
    {"id":"holidays","title":"Holidays","account":"On This Computer","color":"#888888","writable":false,"isDefault":false}])"));
}

TEST_F(CalendarCommandsTest, AnUnreachableStoreIsDeniedAfterTheArgumentChecks) {
  store.answers = false;
  EXPECT_EQ(run({"events", "2025-03-01T00:00:00Z", "2025-03-02T00:00:00.000Z"}), 64);
  EXPECT_EQ(run({"events", "2025-03-01T00:00:00.000Z", "2025-03-02T00:00:00.000Z"}), 2);
  EXPECT_EQ(lastError(),
            "Calendar access denied. Allow Vesk in System Settings \u2192 Privacy & Security "
            "\u2192 Calendars.");
  EXPECT_EQ(run({"event-add", "[]"}), 64);
  EXPECT_EQ(run({"event-add", "{}"}), 2);
}

TEST_F(CalendarCommandsTest, EventsOnlyForChosenCalendarsAndNoneWithoutAny) {
  ASSERT_EQ(run({"events", "2025-03-01T00:00:00.000Z", "2025-03-31T00:00:00.000Z"}), 0);
  EXPECT_EQ(console.stdoutText(), "[]");
  EXPECT_EQ(store.eventQueries, 0);
  ASSERT_EQ(run({"events", "2025-03-01T00:00:00.000Z", "2025-03-31T00:00:00.000Z", "holidays",
                 "gone"}),
            0);
  auto list = json::parse(console.stdoutText().substr(2));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]["id"], "feast");
  EXPECT_EQ(list[0]["editable"], false);
}

TEST_F(CalendarCommandsTest, AddChecksItsFieldsAndTheCalendar) {
  EXPECT_EQ(run({"event-add", R"({"title":"x","calendarId":"work","start":"2025-03-01T09:00:00.000Z","end":"2025-03-01T09:00:00.000Z"})"}), 64);
  EXPECT_EQ(run({"event-add", R"({"title":"","calendarId":"work","start":"2025-03-01T09:00:00.000Z","end":"2025-03-01T10:00:00.000Z"})"}), 64);
  EXPECT_EQ(run({"event-add", R"({"title":"x","calendarId":"nope","start":"2025-03-01T09:00:00.000Z","end":"2025-03-01T10:00:00.000Z"})"}), 64);
  EXPECT_EQ(run({"event-add", R"({"title":"x","calendarId":"work","start":"2025-03-01T09:00:00.000Z","end":"6888-08-06T00:00:00.000Z"})"}), 64);
  EXPECT_EQ(run({"events", "2025-03-01T00:00:00.000Z", "6888-08-06T00:00:00.000Z", "work"}), 64);
  EXPECT_EQ(run({"event-add", R"({"title":"x","calendarId":"holidays","start":"2025-03-01T09:00:00.000Z","end":"2025-03-01T10:00:00.000Z"})"}), 1);
  EXPECT_EQ(lastError(), "That calendar can't be written to.");
  EXPECT_EQ(store.occurrences.size(), 3u);

  ASSERT_EQ(run({"event-add", R"({"title":"Lunch","calendarId":"work","start":"2025-03-01T11:00:00.000Z","end":"2025-03-01T12:00:00.000Z","notes":"","location":"Cafe","allDay":"yes"})"}), 0);
  auto added = reply();
  EXPECT_EQ(added["title"], "Lunch");
  EXPECT_EQ(added["location"], "Cafe");
  EXPECT_EQ(added["allDay"], false);
  EXPECT_EQ(added["editable"], true);
}

TEST_F(CalendarCommandsTest, StoreRefusalsAreReportedWithTheirDescription) {
  store.refusal = "Disk full";
  EXPECT_EQ(run({"event-add", R"({"title":"x","calendarId":"work","start":"2025-03-01T09:00:00.000Z","end":"2025-03-01T10:00:00.000Z"})"}), 1);
  EXPECT_EQ(console.stderrText(), "Couldn't add the event: Disk full");
}

TEST_F(CalendarCommandsTest, UpdateChangesOneOccurrenceByItsRules) {
  ASSERT_EQ(run({"event-update", R"({"id":"standup/RID=x","at":"2025-03-10T08:00:00.000Z","title":"","location":"","notes":"Agenda","start":"2025-03-10T08:15:00.000Z","end":"bad"})"}), 0);
  auto changed = reply();
  EXPECT_EQ(changed["title"], "Standup");
  EXPECT_EQ(changed["location"], "");
  EXPECT_EQ(changed["notes"], "Agenda");
  EXPECT_EQ(changed["start"], "2025-03-10T08:15:00.000Z");
  EXPECT_EQ(changed["end"], "2025-03-10T08:30:00.000Z");
  EXPECT_EQ(store.occurrences[0].location, "Room 1");
  EXPECT_EQ(store.occurrences[0].start, readIso("2025-03-03T08:00:00.000Z"));
}

TEST_F(CalendarCommandsTest, UpdateRefusesAnEndBeforeTheStartAndSavesNothing) {
  EXPECT_EQ(run({"event-update", R"({"id":"standup","at":"2025-03-03T08:00:00.000Z","start":"2025-03-03T09:00:00.000Z"})"}), 1);
  EXPECT_EQ(console.stderrText(), "It has to end after it starts.");
  EXPECT_EQ(store.saves, 0);
}

TEST_F(CalendarCommandsTest, OccurrencesMustBeFoundAndChangeable) {
  EXPECT_EQ(run({"event-delete", R"({"id":"standup","at":"2025-03-03T08:00:01.000Z"})"}), 1);
  EXPECT_EQ(console.stderrText(), "That event isn't in your calendar any more.");
  EXPECT_EQ(run({"event-delete", R"({"id":"feast","at":"2025-03-03T08:00:00.000Z"})"}), 1);
  EXPECT_EQ(run({"event-delete", R"({"id":"standup"})"}), 64);
  EXPECT_EQ(run({"event-delete", R"({"id":"standup","at":"2025-03-03T08:00:00Z"})"}), 64);

  store.occurrences[1].organizer = Participant{"Boss", "mailto:boss@example.com", {}, false};
  EXPECT_EQ(run({"event-update", R"({"id":"standup","at":"2025-03-10T08:00:00.000Z","title":"x"})"}), 1);
  EXPECT_TRUE(console.stderrText().ends_with("Only its organiser can change that event."));
  EXPECT_EQ(store.saves, 0);
}

TEST_F(CalendarCommandsTest, DeleteRemovesOnlyThatOccurrence) {
  ASSERT_EQ(run({"event-delete", R"({"id":"standup","at":"2025-03-10T08:00:00.000Z"})"}), 0);
  EXPECT_EQ(console.stdoutText(), R"({"deleted":true})");
  ASSERT_EQ(store.occurrences.size(), 2u);
  EXPECT_EQ(store.occurrences[0].storeKey, "k1");
}

TEST_F(CalendarCommandsTest, StoreStatusesReportWhatTheyFindAndNeverAsk) {
  Context context{fakes.platform, console, timings};
  for (bool reminders : {false, true}) {
    for (bool ask : {false, true}) {
      store.answers = true;
      EXPECT_EQ(eventStoreStatus(context, reminders, ask), "granted");
      store.answers = false;
      EXPECT_EQ(eventStoreStatus(context, reminders, ask), "not-asked");
    }
  }
  EXPECT_TRUE(console.stdoutText().empty());
}
