#pragma once

#include <iosfwd>
#include <string>

struct Context;

// secret get|set|clear <name>: the value of `set` is the first line of standard input.
[[noreturn]] void runSecret(Context& context, const std::string& action, const std::string& name);
// The same, reading the value of `set` from `input`.
[[noreturn]] void runSecret(Context& context, const std::string& action, const std::string& name,
                            std::istream& input);
