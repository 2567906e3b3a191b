#include "base/JsonText.h"

std::string jsonText(const nlohmann::json& value, nlohmann::json::error_handler_t invalid) {
  const std::string text = value.dump(-1, ' ', false, invalid);
  // In compact JSON a "/" can only stand inside a string, so replacing every one is exact.
  std::string escaped;
  escaped.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '/') escaped += '\\';
    escaped += c;
  }
  return escaped;
}
