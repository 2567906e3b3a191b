#pragma once

#include <nlohmann/json.hpp>
#include <string>

// Compact JSON with every "/" written as "\/" and non-ASCII as raw UTF-8. With the strict
// handler, throws nlohmann::json::type_error for text that is not valid UTF-8; with replace, its
// bad bytes become U+FFFD.
std::string jsonText(const nlohmann::json& value,
                     nlohmann::json::error_handler_t invalid = nlohmann::json::error_handler_t::strict);
