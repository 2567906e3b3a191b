#include <gtest/gtest.h>

#include <cmath>

#include "main/calendar/CalendarColor.h"
#include "main/calendar/EventJson.h"
#include "main/calendar/EventOccurrence.h"
#include "base/TimeText.h"

namespace {

using std::chrono::system_clock;

system_clock::time_point at(const char* iso) { return readIso(iso).value(); }

CalendarEvent occurrence(std::string id, const char* start) {
  CalendarEvent event;
  event.id = std::move(id);
  event.start = at(start);
  event.end = event.start + std::chrono::minutes(30);
  return event;
}

Participant person(std::string name, std::string url,
                   Participant::Status status = Participant::Status::Pending, bool me = false) {
  return Participant{std::move(name), std::move(url), status, me};
}

}  // namespace

TEST(CalendarColorTest, ComponentsAreTruncatedNotRounded) {
  EXPECT_EQ(hex(Rgb{1, 0, 0}), "#FF0000");
  EXPECT_EQ(hex(Rgb{0.5, 0.5, 0.5}), "#7F7F7F");
  EXPECT_EQ(hex(Rgb{0.999, 0.0, 1.0}), "#FE00FF");
}

TEST(CalendarColorTest, MissingOrBrokenColoursAreGrey) {
  EXPECT_EQ(hex(std::nullopt), "#888888");
  EXPECT_EQ(hex(Rgb{NAN, 0, 0}), "#888888");
  EXPECT_EQ(hex(Rgb{INFINITY, 0, 0}), "#888888");
  EXPECT_EQ(hex(colorFromText("")), "#888888");
  EXPECT_EQ(hex(colorFromText("blue-ish")), "#888888");
  EXPECT_EQ(hex(colorFromText("#12345")), "#888888");
}

TEST(CalendarColorTest, StoreColourForms) {
  EXPECT_EQ(hex(colorFromText("#becedd")), "#BECEDD");
  EXPECT_EQ(hex(colorFromText("#f00")), "#FF0000");
  EXPECT_EQ(hex(colorFromText("#ffff00000000")), "#FF0000");
  EXPECT_EQ(hex(colorFromText("rgb(255, 128, 0)")), "#FF8000");
  EXPECT_EQ(hex(colorFromText("rgba(0,0,255,0.5)")), "#0000FF");
}

TEST(FoundTest, MatchesOnTheIdentifierBeforeRidAndTheExactStart) {
  std::vector<CalendarEvent> query{occurrence("standup", "2025-03-03T08:00:00.000Z"),
                                   occurrence("standup/RID=20250310T090000", "2025-03-10T10:00:00.000Z"),
                                   occurrence("other", "2025-03-10T10:00:00.000Z")};
  auto plain = found("standup/RID=20250303T090000", at("2025-03-03T08:00:00.000Z"), query);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->id, "standup");
  auto detached = found("standup", at("2025-03-10T10:00:00.000Z"), query);
  ASSERT_TRUE(detached);
  EXPECT_EQ(detached->id, "standup/RID=20250310T090000");
  EXPECT_FALSE(found("standup", at("2025-03-03T08:00:01.000Z"), query));
  EXPECT_FALSE(found("stand", at("2025-03-03T08:00:00.000Z"), query));
}

TEST(FoundTest, FirstMatchWinsAndEventsWithoutIdentifierMatchOnlyTheEmptyOne) {
  auto first = occurrence("", "2025-03-03T08:00:00.000Z");
  first.title = "first";
  auto second = occurrence("", "2025-03-03T08:00:00.000Z");
  second.title = "second";
  EXPECT_EQ(found("", at("2025-03-03T08:00:00.000Z"), {first, second})->title, "first");
  EXPECT_EQ(found("/RID=x", at("2025-03-03T08:00:00.000Z"), {first})->title, "first");
  EXPECT_FALSE(found("a", at("2025-03-03T08:00:00.000Z"), {first}));
}

TEST(EventJsonTest, EmailIsTheDecodedMailtoAddressOnly) {
  EXPECT_EQ(emailOf("mailto:anna%40example.com"), "anna@example.com");
  EXPECT_EQ(emailOf("MAILTO:J%C3%BCrgen@example.com"), "J\xC3\xBCrgen@example.com");
  EXPECT_EQ(emailOf("https://example.com"), "");
  EXPECT_EQ(emailOf("mailto:bad%zz"), "");
  EXPECT_EQ(emailOf("mailto:cut%4"), "");
  EXPECT_EQ(emailOf("mailto:%FF"), "");
}

TEST(EventJsonTest, AnOrganiserMissingFromTheAttendeesComesFirst) {
  CalendarEvent event = occurrence("e", "2025-03-03T08:00:00.000Z");
  event.attendees = {person("Anna", "mailto:anna@example.com", Participant::Status::Accepted),
                     person("Room", "urn:room:1", Participant::Status::Other)};
  event.organizer = person("Boss", "mailto:boss@example.com");
  auto list = attendeesJSON(event);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0], (nlohmann::json{{"name", "Boss"}, {"email", "boss@example.com"},
                                     {"status", "pending"}, {"organizer", true}}));
  EXPECT_EQ(list[1]["status"], "accepted");
  EXPECT_EQ(list[1]["organizer"], false);
  EXPECT_EQ(list[2]["email"], "");
  EXPECT_EQ(list[2]["status"], "pending");
}

TEST(EventJsonTest, AnOrganiserAmongTheAttendeesIsMarkedInPlace) {
  CalendarEvent event = occurrence("e", "2025-03-03T08:00:00.000Z");
  event.attendees = {person("Anna", "mailto:anna@example.com"),
                     person("Boss", "mailto:Boss@Example.com", Participant::Status::Tentative)};
  event.organizer = person("Boss", "MAILTO:boss@example.com");
  auto list = attendeesJSON(event);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1]["organizer"], true);
  EXPECT_EQ(list[1]["status"], "tentative");
}

TEST(EventJsonTest, OnlyTheOrganiserOnAWritableCalendarMayChange) {
  CalendarEvent event = occurrence("e", "2025-03-03T08:00:00.000Z");
  event.calendarWritable = true;
  EXPECT_TRUE(canChange(event));
  event.organizer = person("Boss", "mailto:boss@example.com");
  EXPECT_FALSE(canChange(event));
  event.organizer->isCurrentUser = true;
  EXPECT_TRUE(canChange(event));
  event.calendarWritable = false;
  EXPECT_FALSE(canChange(event));
}

TEST(EventJsonTest, DeclinedIsTheUsersOwnAnswer) {
  CalendarEvent event = occurrence("e", "2025-03-03T08:00:00.000Z");
  event.attendees = {person("Anna", "mailto:anna@example.com", Participant::Status::Declined)};
  EXPECT_EQ(eventJSON(event)["declined"], false);
  event.attendees.push_back(person("Me", "mailto:me@example.com", Participant::Status::Declined, true));
  auto object = eventJSON(event);
  EXPECT_EQ(object["declined"], true);
  EXPECT_EQ(object["start"], "2025-03-03T08:00:00.000Z");
  EXPECT_EQ(object["end"], "2025-03-03T08:30:00.000Z");
}

TEST(EventJsonTest, AnEndBeforeTheStartIsReportedAsTheStart) {
  CalendarEvent event = occurrence("e", "2025-03-03T08:00:00.000Z");
  event.end = at("2025-03-03T07:00:00.000Z");
  auto object = eventJSON(event);
  EXPECT_EQ(object["start"], "2025-03-03T08:00:00.000Z");
  EXPECT_EQ(object["end"], "2025-03-03T08:00:00.000Z");
}
