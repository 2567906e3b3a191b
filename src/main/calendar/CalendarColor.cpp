#include "main/calendar/CalendarColor.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::optional<double> hexComponent(std::string_view digits) {
  unsigned long value = 0;
  for (char c : digits) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    value = value * 16 + static_cast<unsigned long>(std::isdigit(static_cast<unsigned char>(c))
                                                        ? c - '0'
                                                        : std::tolower(c) - 'a' + 10);
  }
  double max = std::pow(16.0, static_cast<double>(digits.size())) - 1;
  return static_cast<double>(value) / max;
}

std::string trimmed(std::string_view text) {
  auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return "";
  auto last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

std::optional<Rgb> fromFunction(std::string_view text) {
  bool alpha = text.rfind("rgba(", 0) == 0;
  if (!alpha && text.rfind("rgb(", 0) != 0) return std::nullopt;
  if (text.back() != ')') return std::nullopt;
  auto open = text.find('(');
  std::string_view inner = text.substr(open + 1, text.size() - open - 2);
  std::vector<double> values;
  std::size_t start = 0;
  while (start <= inner.size()) {
    auto comma = inner.find(',', start);
    std::string piece =
        trimmed(inner.substr(start, comma == std::string_view::npos ? std::string_view::npos
                                                                    : comma - start));
    if (piece.empty()) return std::nullopt;
    char* end = nullptr;
    double value = std::strtod(piece.c_str(), &end);
    if (end != piece.c_str() + piece.size()) return std::nullopt;
    values.push_back(value);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (values.size() != (alpha ? 4u : 3u)) return std::nullopt;
  return Rgb{values[0] / 255.0, values[1] / 255.0, values[2] / 255.0};
}

}  // namespace

std::optional<Rgb> colorFromText(std::string_view raw) {
  std::string text = trimmed(raw);
  if (text.empty()) return std::nullopt;
  if (text[0] != '#') {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return fromFunction(text);
  }
  std::string_view digits = std::string_view(text).substr(1);
  if (digits.empty() || digits.size() % 3 != 0 || digits.size() > 12) return std::nullopt;
  std::size_t width = digits.size() / 3;
  auto red = hexComponent(digits.substr(0, width));
  auto green = hexComponent(digits.substr(width, width));
  auto blue = hexComponent(digits.substr(2 * width, width));
  if (!red || !green || !blue) return std::nullopt;
  return Rgb{*red, *green, *blue};
}

std::string hex(const std::optional<Rgb>& color) {
  if (!color || !std::isfinite(color->red) || !std::isfinite(color->green) ||
      !std::isfinite(color->blue)) {
    return "#888888";
  }
  auto byte = [](double component) {
    double scaled = std::trunc(std::clamp(component, 0.0, 1.0) * 255.0);
    return static_cast<unsigned>(scaled);
  };
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", byte(color->red), byte(color->green),
                byte(color->blue));
  return text;
}
