#pragma once

#include <string>

struct Context;

// listen hold-key <control|right-option|none>
[[noreturn]] void runHoldKey(Context& context, const std::string& key);
