#pragma once

#include <optional>
#include <string>

// The meeting's identity, from the first line of standard input.
struct MeetingIdentity {
  std::string id;
  std::optional<std::string> pausedFrom;
};

// Reads the first line: a JSON object with a string "id" of the form 2024-05-01-093000 and, when
// resuming, a string "pausedFrom"; other keys are ignored. Nothing for anything else.
std::optional<MeetingIdentity> meetingIdentity(const std::string& line);
