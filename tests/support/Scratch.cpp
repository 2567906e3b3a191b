#include "support/Scratch.h"

#include <stdlib.h>

#include <stdexcept>

Scratch::Scratch() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vesk-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  std::filesystem::create_directories(dataHome());
  std::filesystem::create_directories(configHome());
}

Scratch::~Scratch() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::map<std::string, std::optional<std::string>> Scratch::env() const {
  return {{"HOME", home().string()},
          {"XDG_DATA_HOME", dataHome().string()},
          {"XDG_CONFIG_HOME", configHome().string()}};
}
