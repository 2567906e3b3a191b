#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// Writes the text to the file, making its folders first.
inline void writeFile(const std::filesystem::path& file, const std::string& text) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

// The file's bytes; empty when it cannot be read.
inline std::string fileText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
