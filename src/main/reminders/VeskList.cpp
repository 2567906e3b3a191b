#include "main/reminders/VeskList.h"

#include <algorithm>
#include <string_view>

#include "base/ExitStatus.h"
#include "main/reminders/ReminderListOrder.h"
#include "main/Reply.h"
#include "platform/EventStore.h"

namespace {

constexpr std::string_view noListMessage =
    "Vesk couldn't make its list in Reminders: none of your accounts would take it. Open System "
    "Settings \u2192 Apple Account \u2192 iCloud and turn on Reminders (or add a list in the "
    "Reminders app), then try again.";

}  // namespace

StoreCalendar veskList(EventStore& store, Console& console) {
  auto lists = store.reminderLists();
  for (const auto& list : lists) {
    if (list.title == VESK_LIST_TITLE) return list;
  }

  std::vector<ListSource> sources;
  for (const auto& account : store.accounts()) {
    bool hasLists = std::any_of(lists.begin(), lists.end(), [&](const StoreCalendar& list) {
      return list.accountId == account.id;
    });
    sources.push_back({account.id, account.kind, account.title, hasLists});
  }
  std::optional<std::string> defaultId;
  if (auto defaultList = store.defaultReminderListId()) {
    for (const auto& list : lists) {
      if (list.id == *defaultList && !list.accountId.empty()) defaultId = list.accountId;
    }
  }

  for (const auto& accountId : reminderListOrder(defaultId, sources)) {
    auto accounts = store.accounts();
    bool present = std::any_of(accounts.begin(), accounts.end(),
                               [&](const StoreAccount& account) { return account.id == accountId; });
    if (!present) continue;
    try {
      return store.createReminderList(accountId, VESK_LIST_TITLE);
    } catch (const EventStoreError&) {
      // The store has dropped the refused list; the next account may take it.
    }
  }
  fail(console, noListMessage, EXIT_NO_LIST);
}
