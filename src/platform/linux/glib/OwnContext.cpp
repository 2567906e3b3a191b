#include "platform/linux/glib/OwnContext.h"

namespace {

// Whole milliseconds to the deadline, rounded up so that a wake-up comes at or after it.
guint millisecondsUntil(OwnContext::Clock::time_point deadline) {
  const auto left = deadline - OwnContext::Clock::now();
  if (left <= OwnContext::Clock::duration::zero()) return 0;
  return static_cast<guint>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

}  // namespace

OwnContext::OwnContext() : context_(g_main_context_new()) {
  g_main_context_push_thread_default(context_);
}

OwnContext::~OwnContext() {
  g_main_context_pop_thread_default(context_);
  g_main_context_unref(context_);
}

bool OwnContext::runUntil(const std::function<bool()>& done, Clock::time_point deadline) {
  if (done()) return true;
  // The timer only wakes the iteration below (again each period, should it wake early); the
  // loop itself checks the clock.
  GSource* wake = g_timeout_source_new(millisecondsUntil(deadline));
  g_source_set_callback(wake, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr,
                        nullptr);
  g_source_attach(wake, context_);
  bool finished = false;
  while (!(finished = done()) && Clock::now() < deadline) {
    g_main_context_iteration(context_, TRUE);
  }
  g_source_destroy(wake);
  g_source_unref(wake);
  return finished;
}
