#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// 16 kHz mono 16-bit samples of a raw recording, or of a WAV file's data chunk.
inline std::vector<std::int16_t> samplesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.rfind("RIFF", 0) == 0) {
    auto data = bytes.find("data");
    bytes = data == std::string::npos ? "" : bytes.substr(data + 8);
  }
  std::vector<std::int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

// Seconds of near-silence at the end of 16 kHz samples.
inline double trailingQuiet(const std::vector<std::int16_t>& samples) {
  std::size_t last = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (std::abs(samples[i]) > 1000) last = i;
  }
  return static_cast<double>(samples.size() - last) / 16000.0;
}
