#include "listening/engine/StreamClock.h"

#include <algorithm>
#include <cmath>

std::int64_t StreamClock::place(std::int64_t index, std::optional<double> captured,
                                std::int64_t samples) {
  if (!captured) return 0;
  const double at = static_cast<double>(index) / rate_;
  const double length = static_cast<double>(samples) / rate_;
  if (!offset_) {
    offset_ = *captured - at;
    next_ = *captured + length;
    return 0;
  }
  // A gap shows as one chunk much later than the one before ended; the server's times may move
  // much more than that while they settle, but chunk by chunk.
  const double jump = *captured - *next_;
  next_ = *captured + length;
  if (jump > JUMP) {
    const auto gap = static_cast<std::int64_t>(std::llround(jump * rate_));
    offset_ = *captured - static_cast<double>(index + gap) / rate_;
    return gap;
  }
  if (jump < -JUMP) {
    offset_ = *captured - at;
    return 0;
  }
  const double late = *captured - (*offset_ + at);
  const double share = std::min(1.0, static_cast<double>(samples) / (FOLLOW * rate_));
  *offset_ += share * late;
  return 0;
}

std::optional<double> StreamClock::timeOf(std::int64_t index) const {
  if (!offset_) return std::nullopt;
  return *offset_ + static_cast<double>(index) / rate_;
}

std::optional<double> StreamClock::indexAt(double time) const {
  if (!offset_) return std::nullopt;
  return (time - *offset_) * rate_;
}
