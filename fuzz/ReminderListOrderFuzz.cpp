// The request of reminder-list-order: what the reader accepts must give an order of distinct ids,
// each one the default or a source's.
#include <algorithm>
#include <cstdlib>
#include <set>

#include "FuzzInput.h"
#include "main/reminders/ReminderListOrder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto request = readListOrderRequest(fuzzInput::text(data, size));
  if (!request) return 0;
  std::set<std::string> known;
  if (auto id = request->find("defaultId"); id != request->end() && id->is_string()) {
    known.insert(id->get<std::string>());
  }
  for (const auto& source : request->at("sources")) known.insert(ListSource::fromJson(source).id);
  const auto order = reminderListOrder(*request);
  if (std::set<std::string>(order.begin(), order.end()).size() != order.size()) std::abort();
  for (const auto& id : order) {
    if (known.count(id) == 0) std::abort();
  }
  return 0;
}
