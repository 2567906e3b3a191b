#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "platform/CalendarEvent.h"

// The event object the calendar commands reply with.
nlohmann::json eventJSON(const CalendarEvent& event);

// The attendees, with an organiser who is not among them put first.
nlohmann::json attendeesJSON(const CalendarEvent& event);

// The calendar takes changes and the event has no organiser, or the user organises it.
bool canChange(const CalendarEvent& event);

// The address of a "mailto:" calendar address, percent-decoded; "" for any other scheme or a
// text that does not decode to UTF-8.
std::string emailOf(std::string_view url);
