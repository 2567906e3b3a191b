#include "landing/focus/FocusRules.h"

#include <set>

bool isPasswordBox(const Focus& focus) {
  return focus.kind == Focus::Kind::Element && focus.role == "password text";
}

bool isTextBox(const Focus& focus) {
  static const std::set<std::string> TEXT_ROLES = {
      "text", "entry", "password text", "combo box", "terminal", "document text"};
  if (focus.kind != Focus::Kind::Element) return false;
  return TEXT_ROLES.count(focus.role) > 0 || (focus.role == "paragraph" && focus.editable);
}

bool certainlyNoTextBox(const std::optional<std::string>& frontAppId, const Focus& focus) {
  if (!frontAppId || *frontAppId != FILE_MANAGER_ID) return false;
  switch (focus.kind) {
    case Focus::Kind::Nothing:
      return true;
    case Focus::Kind::Unknown:
      return false;
    case Focus::Kind::Element:
      return !isTextBox(focus);
  }
  return false;
}
