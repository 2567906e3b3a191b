#include "base/ControlWord.h"

std::string controlWord(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const auto first = line.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  const auto last = line.find_last_not_of(" \t");
  return line.substr(first, last - first + 1);
}
