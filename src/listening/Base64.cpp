#include "listening/Base64.h"

#include <cstdint>

std::string base64(std::string_view bytes) {
  static constexpr char ALPHABET[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t group = std::uint32_t{static_cast<unsigned char>(bytes[i])} << 16 |
                                std::uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8 |
                                std::uint32_t{static_cast<unsigned char>(bytes[i + 2])};
    text += ALPHABET[group >> 18 & 63];
    text += ALPHABET[group >> 12 & 63];
    text += ALPHABET[group >> 6 & 63];
    text += ALPHABET[group & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    std::uint32_t group = std::uint32_t{static_cast<unsigned char>(bytes[i])} << 16;
    if (rest == 2) group |= std::uint32_t{static_cast<unsigned char>(bytes[i + 1])} << 8;
    text += ALPHABET[group >> 18 & 63];
    text += ALPHABET[group >> 12 & 63];
    text += rest == 2 ? ALPHABET[group >> 6 & 63] : '=';
    text += '=';
  }
  return text;
}
