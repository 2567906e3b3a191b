#pragma once

#include <optional>
#include <string>

#include "platform/FocusReader.h"

// The desktop's file manager: with no text box focused, a paste into it would act on files.
inline constexpr const char* FILE_MANAGER_ID = "org.gnome.Nautilus";

// True only for a focused password field.
bool isPasswordBox(const Focus& focus);
// True for the roles that take typed text: text, entry, password text, combo box, terminal,
// document text, and editable paragraphs.
bool isTextBox(const Focus& focus);
// True only when the file manager is in front and nothing text-like has focus; a focus that
// cannot be told never counts as having no text box.
bool certainlyNoTextBox(const std::optional<std::string>& frontAppId, const Focus& focus);
