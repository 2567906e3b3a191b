#pragma once

#include <string>

// The desktop's applications and links. Exists so tests can replace it.
class Desktop {
 public:
  virtual ~Desktop() = default;

  // True when the text parses as an absolute URL (a scheme and what follows it).
  virtual bool isUrl(const std::string& text) = 0;
};
