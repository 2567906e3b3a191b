#pragma once

#include <string>
#include <vector>

struct Context;

// Every command word that begins with "reminder".
[[noreturn]] void runReminders(Context& context, const std::vector<std::string>& args);
