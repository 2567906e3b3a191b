#pragma once

#include <libecal/libecal.h>

#include <chrono>

#include "platform/EventStoreTimeout.h"
#include "platform/linux/glib/CallLimit.h"

// Runs one blocking call into the calendar store with a cancellable that is cancelled once the
// limit has passed. A call cut short throws EventStoreTimeout; any other outcome is the call's own.
template <class Call>
auto bounded(std::chrono::milliseconds limit, GError** error, Call call) {
  CallLimit bound(limit);
  auto result = call(bound.cancellable());
  if (!result && bound.fired()) {
    g_clear_error(error);
    throw EventStoreTimeout("The calendar store (Evolution Data Server) did not answer in time.");
  }
  return result;
}
