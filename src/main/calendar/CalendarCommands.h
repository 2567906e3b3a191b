#pragma once

#include <string>
#include <vector>

struct Context;

// calendars | events | event-add | event-update | event-delete
[[noreturn]] void runCalendarCommand(Context& context, const std::vector<std::string>& args);
