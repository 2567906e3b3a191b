#pragma once

#include <stdexcept>
#include <string>

// A failure the sound server reported for a stream: its error text and its numeric code.
class SoundServerError : public std::runtime_error {
 public:
  SoundServerError(const std::string& text, int code) : std::runtime_error(text), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};
