#pragma once

#include <optional>
#include <string>
#include <string_view>

// A colour with red, green and blue between 0 and 1.
struct Rgb {
  double red = 0;
  double green = 0;
  double blue = 0;
};

// Reads a colour as calendars keep it: "#rgb", "#rrggbb", "#rrrgggbbb", "#rrrrggggbbbb",
// "rgb(r,g,b)" or "rgba(r,g,b,a)" with components 0-255. Anything else reads as nothing.
std::optional<Rgb> colorFromText(std::string_view text);

// "#" and six upper-case hexadecimal digits, each component times 255 truncated toward zero;
// "#888888" for no colour or a component that is not a finite number.
std::string hex(const std::optional<Rgb>& color);
