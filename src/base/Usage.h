#pragma once

#include <string_view>

// The usage text, one line, no trailing newline.
extern const std::string_view USAGE;
