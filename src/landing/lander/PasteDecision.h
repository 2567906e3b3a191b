#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/FocusReader.h"

// Whether text meant for the application `into` may be pasted now: only when that application
// is still in front, the bridge is trusted, and the focus is neither a password field nor
// certainly without a text box.
// Trust and focus are asked only when the earlier tests passed, in that order.
bool shouldPaste(std::optional<long> into, std::optional<long> frontPid,
                 const std::optional<std::string>& frontAppId, const std::function<bool()>& trusted,
                 const std::function<Focus()>& focus);
