#pragma once

#include <string>
#include <string_view>

// Standard Base64 (RFC 4648 alphabet, "=" fill, no line breaks).
std::string base64(std::string_view bytes);
