#include "platform/linux/atspi/AtspiFocusReader.h"

#include <atspi/atspi.h>

#include <memory>
#include <optional>

namespace {

// The whole question may take this many call limits.
constexpr int CALLS_PER_QUESTION = 4;
// The walk of an application without a collection interface stops this deep and this wide.
constexpr int DEEPEST = 40;
constexpr int WIDEST = 500;
// Signals handled at most per question, so a busy bus cannot hold the question up.
constexpr int MOST_SIGNALS = 200;

using Clock = std::chrono::steady_clock;

struct GObjectUnref {
  void operator()(void* object) const { g_object_unref(object); }
};
template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GFreeDeleter {
  void operator()(void* data) const { g_free(data); }
};
struct GErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
struct GArrayFree {
  void operator()(GArray* array) const { g_array_free(array, TRUE); }
};

bool initialised() {
  // The library keeps the states it has seen up to date from the bus's signals. (Without its
  // cache it would ask for states inside its own signal handling, which deadlocks.)
  static const bool ready = atspi_init() >= 0;
  return ready;
}

bool hasState(AtspiAccessible* accessible, AtspiStateType state) {
  GObjectPtr<AtspiStateSet> states(atspi_accessible_get_state_set(accessible));
  return states && atspi_state_set_contains(states.get(), state);
}

// The application of the process on the accessibility bus.
GObjectPtr<AtspiAccessible> applicationOf(long pid, Clock::time_point deadline) {
  GObjectPtr<AtspiAccessible> desktop(atspi_get_desktop(0));
  if (!desktop) return nullptr;
  GError* error = nullptr;
  const int count = atspi_accessible_get_child_count(desktop.get(), &error);
  std::unique_ptr<GError, GErrorFree> owned(error);
  for (int i = 0; i < count && Clock::now() < deadline; ++i) {
    GObjectPtr<AtspiAccessible> app(atspi_accessible_get_child_at_index(desktop.get(), i, nullptr));
    if (!app) continue;
    if (static_cast<long>(atspi_accessible_get_process_id(app.get(), nullptr)) == pid) return app;
  }
  return nullptr;
}

// The focused descendant through the collection interface; nothing when the application has
// none or did not answer, an empty pointer inside when nothing has focus.
std::optional<GObjectPtr<AtspiAccessible>> focusedByCollection(AtspiAccessible* app) {
  GObjectPtr<AtspiCollection> collection(atspi_accessible_get_collection_iface(app));
  if (!collection) return std::nullopt;
  GArray* wanted = g_array_new(FALSE, FALSE, sizeof(AtspiStateType));
  AtspiStateType focused = ATSPI_STATE_FOCUSED;
  g_array_append_val(wanted, focused);
  GObjectPtr<AtspiStateSet> states(atspi_state_set_new(wanted));
  g_array_free(wanted, TRUE);
  GObjectPtr<AtspiMatchRule> rule(atspi_match_rule_new(
      states.get(), ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_NONE, nullptr,
      ATSPI_Collection_MATCH_NONE, nullptr, ATSPI_Collection_MATCH_NONE, FALSE));
  GError* error = nullptr;
  std::unique_ptr<GArray, GArrayFree> found(atspi_collection_get_matches(
      collection.get(), rule.get(), ATSPI_Collection_SORT_ORDER_CANONICAL, 1, TRUE, &error));
  std::unique_ptr<GError, GErrorFree> owned(error);
  if (error || !found) return std::nullopt;
  GObjectPtr<AtspiAccessible> first;
  if (found->len > 0) {
    first.reset(g_array_index(found.get(), AtspiAccessible*, 0));
    for (guint i = 1; i < found->len; ++i) g_object_unref(g_array_index(found.get(), AtspiAccessible*, i));
  }
  return first;
}

// The focused descendant by walking the tree, within the deadline.
GObjectPtr<AtspiAccessible> focusedByWalk(AtspiAccessible* accessible, int depth,
                                          Clock::time_point deadline) {
  if (depth > DEEPEST || Clock::now() >= deadline) return nullptr;
  if (depth > 0 && hasState(accessible, ATSPI_STATE_FOCUSED)) {
    return GObjectPtr<AtspiAccessible>(static_cast<AtspiAccessible*>(g_object_ref(accessible)));
  }
  const int count = atspi_accessible_get_child_count(accessible, nullptr);
  for (int i = 0; i < count && i < WIDEST; ++i) {
    GObjectPtr<AtspiAccessible> child(atspi_accessible_get_child_at_index(accessible, i, nullptr));
    if (!child) continue;
    if (auto found = focusedByWalk(child.get(), depth + 1, deadline)) return found;
  }
  return nullptr;
}

}  // namespace

Focus AtspiFocusReader::focusIn(long pid, std::chrono::milliseconds callLimit) {
  if (!initialised()) return Focus::unknown();
  // Signals of the bus that came since the last question (the library keeps its view of the
  // applications with them).
  for (int i = 0; i < MOST_SIGNALS && g_main_context_iteration(nullptr, FALSE); ++i) {
  }
  const int limit = static_cast<int>(callLimit.count());
  atspi_set_timeout(limit, limit);
  const auto deadline = Clock::now() + CALLS_PER_QUESTION * callLimit;
  auto app = applicationOf(pid, deadline);
  if (!app) return Focus::unknown();
  GObjectPtr<AtspiAccessible> focused;
  if (auto byCollection = focusedByCollection(app.get())) {
    focused = std::move(*byCollection);
  } else {
    focused = focusedByWalk(app.get(), 0, deadline);
    if (!focused && Clock::now() >= deadline) return Focus::unknown();
  }
  if (!focused) return Focus::nothing();
  GError* error = nullptr;
  std::unique_ptr<char, GFreeDeleter> role(atspi_accessible_get_role_name(focused.get(), &error));
  std::unique_ptr<GError, GErrorFree> owned(error);
  if (!role || error) return Focus::unknown();
  return Focus::element(role.get(), hasState(focused.get(), ATSPI_STATE_EDITABLE));
}
