#pragma once

#include <cctype>
#include <cstring>
#include <set>
#include <sstream>
#include <string>

// How many of the spoken words the written text holds, read without capitals and marks.
inline int wordsHeard(const std::string& spoken, const std::string& recognised) {
  std::set<std::string> heard;
  std::istringstream in(recognised);
  for (std::string word; in >> word;) {
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    while (!word.empty() && std::strchr(",.?!:;", word.back())) word.pop_back();
    heard.insert(word);
  }
  int count = 0;
  std::istringstream words(spoken);
  for (std::string word; words >> word;) count += heard.count(word) ? 1 : 0;
  return count;
}

// Whether an event line is of the kind.
inline bool isKind(const std::string& line, const std::string& kind) {
  return line.rfind("{\"kind\":\"" + kind + "\"", 0) == 0;
}
