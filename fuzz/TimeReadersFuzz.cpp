// The time and date readers: ISO date-times of the calendar commands, days and "H:M" times of
// the reminder commands. What they read must write back to the same moment.
#include <chrono>
#include <cstdlib>

#include "FuzzInput.h"
#include "base/TimeText.h"
#include "main/calendar/LocalCalendar.h"
#include "main/reminders/ReminderEditor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace std::chrono;
  const std::string text = fuzzInput::text(data, size);

  if (auto when = readIso(text)) {
    auto again = readIso(isoTime(*when));
    if (!again || *again != floor<milliseconds>(*when)) std::abort();
    (void)isoSeconds(*when);
  }
  if (auto day = localCalendar::readDay(text)) {
    if (day->month < 1 || day->month > 12 || day->day < 1 || day->day > 31) std::abort();
    if (auto start = localCalendar::moment(*day)) {
      (void)localCalendar::dayText(*start);
      (void)localCalendar::alertText(*start);
    }
  }
  if (auto time = hourMinute(text)) {
    if (time->first < 0 || time->first > 23 || time->second < 0 || time->second > 59) std::abort();
  }
  return 0;
}
