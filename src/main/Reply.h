#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "base/JsonText.h"
#include "base/Usage.h"

class Console;

// Writes the reply: the JSON text in one unbuffered write, no trailing newline.
// A value that cannot be written (invalid UTF-8) writes nothing.
void emit(Console& console, const nlohmann::json& value);

// Writes the message to standard error as it stands (no newline) and ends the process.
[[noreturn]] void fail(Console& console, std::string_view message, int status);

// fail(USAGE, 64).
[[noreturn]] void usageError(Console& console);

// emit, then end the process with status 0.
[[noreturn]] void reply(Console& console, const nlohmann::json& value);
