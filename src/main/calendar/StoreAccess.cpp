#include "main/calendar/StoreAccess.h"

#include "base/Context.h"
#include "base/Timings.h"
#include "main/permissions/Permissions.h"
#include "platform/EventStore.h"
#include "platform/Platform.h"

EventStore& eventStoreOf(Context& context) {
  EventStore& store = *context.platform.eventStore;
  store.limitCalls(context.timings.storeCallLimit);
  return store;
}

// The desktop's calendar store asks nobody: it is there for every program of the session once
// its registry answers on the session bus, and out of reach otherwise. A request therefore
// reports what it finds.
std::string_view eventStoreStatus(Context& context, bool, bool) {
  return eventStoreOf(context).reachable() ? GRANTED : NOT_ASKED;
}
