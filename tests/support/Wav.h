#pragma once

#include <cstdint>
#include <string>

// Standard base64 back to bytes (stops at the first "=").
std::string fromBase64(const std::string& text);

// A little-endian unsigned number of 2 or 4 bytes at an offset of a byte string.
std::uint32_t littleAt(const std::string& bytes, std::size_t at, int size);
