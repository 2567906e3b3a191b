#include "base/Base64.h"

std::string base64(std::string_view bytes) {
  static constexpr char ALPHABET[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t at = 0;
  for (; at + 3 <= bytes.size(); at += 3) {
    unsigned group = static_cast<unsigned char>(bytes[at]) << 16 |
                     static_cast<unsigned char>(bytes[at + 1]) << 8 |
                     static_cast<unsigned char>(bytes[at + 2]);
    text += ALPHABET[group >> 18 & 63];
    text += ALPHABET[group >> 12 & 63];
    text += ALPHABET[group >> 6 & 63];
    text += ALPHABET[group & 63];
  }
  std::size_t left = bytes.size() - at;
  if (left > 0) {
    unsigned group = static_cast<unsigned char>(bytes[at]) << 16;
    if (left == 2) group |= static_cast<unsigned char>(bytes[at + 1]) << 8;
    text += ALPHABET[group >> 18 & 63];
    text += ALPHABET[group >> 12 & 63];
    text += left == 2 ? ALPHABET[group >> 6 & 63] : '=';
    text += '=';
  }
  return text;
}
