#pragma once

#include <optional>
#include <string>
#include <variant>

// What one line of the hold-key command's standard input asks for.
namespace HoldKeyRequest {

struct Land {
  std::string text;
  std::optional<long> app;  // the process the text is for, when given as an integer
};
struct Copy {
  std::string text;
};
struct Front {};
struct Nothing {};

using Request = std::variant<Land, Copy, Front, Nothing>;

// "stop", with spaces and tabs around it allowed.
bool isStop(const std::string& line);
// A JSON object with a string "land" (and an optional integer "app"); else a string "copy";
// else any "front" member; anything else asks for nothing.
Request parse(const std::string& line);

}  // namespace HoldKeyRequest
