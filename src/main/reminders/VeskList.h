#pragma once

#include "platform/StoreCalendar.h"

class Console;
class EventStore;

// The title of the app's own reminder list.
inline constexpr const char* VESK_LIST_TITLE = "Vesk";

// The app's reminder list: the first list titled "Vesk", or a new one made in the best account
// that takes it. Ends the process with status 5 when no account takes it.
StoreCalendar veskList(EventStore& store, Console& console);
