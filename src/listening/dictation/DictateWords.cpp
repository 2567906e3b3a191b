#include "listening/dictation/DictateWords.h"

#include <limits>
#include <map>

std::optional<double> dictateQuietSeconds(const std::string& mode) {
  static const std::map<std::string, double> DICTATE_QUIET = {
      {"mic", DICTATE_QUIET_SECONDS},
      {"talk", DICTATE_TALK_QUIET_SECONDS},
      {"hold", std::numeric_limits<double>::infinity()},
      {"mic-keep", DICTATE_QUIET_SECONDS},
      {"hold-keep", std::numeric_limits<double>::infinity()},
  };
  auto found = DICTATE_QUIET.find(mode);
  if (found == DICTATE_QUIET.end()) return std::nullopt;
  return found->second;
}

std::string dictateControlWord(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const auto first = line.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  const auto last = line.find_last_not_of(" \t");
  return line.substr(first, last - first + 1);
}
