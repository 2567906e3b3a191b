#pragma once

#include <string>

struct Context;

// secret get|set|clear <name>
[[noreturn]] void runSecret(Context& context, const std::string& action, const std::string& name);
