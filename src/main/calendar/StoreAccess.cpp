#include "main/Context.h"
#include "main/permissions/Permissions.h"
#include "platform/EventStore.h"
#include "platform/Platform.h"

// The desktop's calendar store asks nobody: it is there for every program of the session once
// its registry answers on the session bus, and out of reach otherwise. A request therefore
// reports what it finds.
std::string_view eventStoreStatus(Context& context, bool, bool) {
  return context.platform.eventStore->reachable() ? GRANTED : NOT_ASKED;
}
