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
