#include "platform/linux/atspi/AtspiDesktop.h"

#include <memory>

namespace {

// The walk of an application without a collection interface stops this deep and this wide.
constexpr int DEEPEST = 40;
constexpr int WIDEST = 500;
// Signals handled at most per question, so a busy bus cannot hold the question up.
constexpr int MOST_SIGNALS = 200;

struct GArrayFree {
  void operator()(GArray* array) const { g_array_free(array, TRUE); }
};

bool initialised() {
  // The library keeps the states it has seen up to date from the bus's signals. (Without its
  // cache it would ask for states inside its own signal handling, which deadlocks.)
  static const bool ready = atspi_init() >= 0;
  return ready;
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
  GErrorPtr owned(error);
  if (error || !found) return std::nullopt;
  GObjectPtr<AtspiAccessible> first;
  if (found->len > 0) {
    first.reset(g_array_index(found.get(), AtspiAccessible*, 0));
    for (guint i = 1; i < found->len; ++i) g_object_unref(g_array_index(found.get(), AtspiAccessible*, i));
  }
  return first;
}

}  // namespace

AtspiDesktop::AtspiDesktop(GObjectPtr<AtspiAccessible> desktop, Clock::time_point deadline)
    : desktop_(std::move(desktop)), deadline_(deadline) {}

std::optional<AtspiDesktop> AtspiDesktop::ask(std::chrono::milliseconds callLimit,
                                              int callsPerQuestion) {
  if (!initialised()) return std::nullopt;
  // Signals of the bus that came since the last question (the library keeps its view of the
  // applications with them).
  for (int i = 0; i < MOST_SIGNALS && g_main_context_iteration(nullptr, FALSE); ++i) {
  }
  const int limit = static_cast<int>(callLimit.count());
  atspi_set_timeout(limit, limit);
  GObjectPtr<AtspiAccessible> desktop(atspi_get_desktop(0));
  if (!desktop) return std::nullopt;
  return AtspiDesktop(std::move(desktop), Clock::now() + callsPerQuestion * callLimit);
}

bool AtspiDesktop::answers() {
  GError* error = nullptr;
  atspi_accessible_get_child_count(desktop_.get(), &error);
  GErrorPtr owned(error);
  return !error;
}

std::vector<GObjectPtr<AtspiAccessible>> AtspiDesktop::applications() {
  GError* error = nullptr;
  const int count = atspi_accessible_get_child_count(desktop_.get(), &error);
  GErrorPtr owned(error);
  std::vector<GObjectPtr<AtspiAccessible>> apps;
  for (int i = 0; i < count && !expired(); ++i) {
    GObjectPtr<AtspiAccessible> app(atspi_accessible_get_child_at_index(desktop_.get(), i, nullptr));
    if (app) apps.push_back(std::move(app));
  }
  return apps;
}

GObjectPtr<AtspiAccessible> AtspiDesktop::applicationOf(long pid) {
  for (auto& app : applications()) {
    if (processOf(app.get()) == pid) return std::move(app);
  }
  return nullptr;
}

std::vector<GObjectPtr<AtspiAccessible>> AtspiDesktop::childrenOf(AtspiAccessible* accessible,
                                                                  int most) {
  std::vector<GObjectPtr<AtspiAccessible>> children;
  const int count = atspi_accessible_get_child_count(accessible, nullptr);
  for (int i = 0; i < count && i < most && !expired(); ++i) {
    GObjectPtr<AtspiAccessible> child(atspi_accessible_get_child_at_index(accessible, i, nullptr));
    if (child) children.push_back(std::move(child));
  }
  return children;
}

std::optional<GObjectPtr<AtspiAccessible>> AtspiDesktop::focusedIn(AtspiAccessible* app) {
  if (auto byCollection = focusedByCollection(app)) return byCollection;
  auto walked = focusedByWalk(app, 0);
  if (!walked && expired()) return std::nullopt;
  return walked;
}

GObjectPtr<AtspiAccessible> AtspiDesktop::focusedByWalk(AtspiAccessible* accessible, int depth) {
  if (depth > DEEPEST || expired()) return nullptr;
  if (depth > 0 && hasState(accessible, ATSPI_STATE_FOCUSED)) {
    return GObjectPtr<AtspiAccessible>(static_cast<AtspiAccessible*>(g_object_ref(accessible)));
  }
  const int count = atspi_accessible_get_child_count(accessible, nullptr);
  for (int i = 0; i < count && i < WIDEST; ++i) {
    GObjectPtr<AtspiAccessible> child(atspi_accessible_get_child_at_index(accessible, i, nullptr));
    if (!child) continue;
    if (auto found = focusedByWalk(child.get(), depth + 1)) return found;
  }
  return nullptr;
}

bool AtspiDesktop::hasState(AtspiAccessible* accessible, AtspiStateType state) {
  GObjectPtr<AtspiStateSet> states(atspi_accessible_get_state_set(accessible));
  return states && atspi_state_set_contains(states.get(), state);
}

long AtspiDesktop::processOf(AtspiAccessible* app) {
  GError* error = nullptr;
  const auto pid = atspi_accessible_get_process_id(app, &error);
  GErrorPtr owned(error);
  return error ? 0 : static_cast<long>(pid);
}
