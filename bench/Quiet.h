#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Recordings.h"

// Seconds of near-silence at the end of 16 kHz samples.
inline double trailingQuiet(const std::vector<std::int16_t>& samples) {
  std::size_t last = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (std::abs(samples[i]) > 1000) last = i;
  }
  return static_cast<double>(samples.size() - last) / 16000.0;
}
