#include "platform/linux/atspi/AtspiFocusReader.h"

#include "platform/linux/atspi/AtspiDesktop.h"

namespace {

// The whole question may take this many call limits.
constexpr int FOCUS_CALLS = 4;

}  // namespace

Focus AtspiFocusReader::focusIn(long pid, std::chrono::milliseconds callLimit) {
  auto desktop = AtspiDesktop::ask(callLimit, FOCUS_CALLS);
  if (!desktop) return Focus::unknown();
  auto app = desktop->applicationOf(pid);
  if (!app) return Focus::unknown();
  auto focused = desktop->focusedIn(app.get());
  if (!focused) return Focus::unknown();
  if (!*focused) return Focus::nothing();
  GError* error = nullptr;
  GMemoryPtr<char> role(atspi_accessible_get_role_name(focused->get(), &error));
  GErrorPtr owned(error);
  if (!role || error) return Focus::unknown();
  return Focus::element(role.get(), AtspiDesktop::hasState(focused->get(), ATSPI_STATE_EDITABLE));
}
