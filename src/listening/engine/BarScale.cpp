#include "listening/engine/BarScale.h"

#include <algorithm>
#include <cmath>

double BarScale::height(float level) {
  if (!std::isfinite(level) || !(level > 0.0f)) return 0.0;
  const float db = 20.0f * std::log10(std::min(level, 1.0f));
  roomDb = std::max(quietestRoomDb, std::min(roomDb + riseDb, db));
  const float h = std::clamp((db - roomDb - marginDb) / spanDb, 0.0f, 1.0f);
  return std::round(static_cast<double>(h) * 100.0) / 100.0;
}
