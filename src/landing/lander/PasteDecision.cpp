#include "landing/lander/PasteDecision.h"

#include "landing/focus/FocusRules.h"

bool shouldPaste(std::optional<long> into, std::optional<long> frontPid,
                 const std::optional<std::string>& frontAppId, const std::function<bool()>& trusted,
                 const std::function<Focus()>& focus) {
  if (!into || !frontPid || *into != *frontPid) return false;
  if (!trusted()) return false;
  const Focus now = focus();
  // Dictated text never goes into a password field, even when one took the focus after the hold.
  if (isPasswordBox(now)) return false;
  return !certainlyNoTextBox(frontAppId, now);
}
