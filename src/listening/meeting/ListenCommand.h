#pragma once

#include <string>

struct Context;

// listen meeting <mic|both>
[[noreturn]] void runListen(Context& context, const std::string& sources);
