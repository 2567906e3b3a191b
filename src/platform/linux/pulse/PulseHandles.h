#pragma once

#include <pulse/proplist.h>

#include <memory>

// An owning handle for a libpulse property list.
struct PulseProplistFree {
  void operator()(pa_proplist* properties) const { pa_proplist_free(properties); }
};
using PulseProplistPtr = std::unique_ptr<pa_proplist, PulseProplistFree>;
