#include "listening/engine/EchoSuppressor.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Frames of the sound played at 1000 and of the canceller's output at `left`, for a room whose
// echo is half as loud as the sound played: what is the output's last frame brought down to?
double keptOf(double roomGain, std::int16_t left, double atLeast) {
  EchoSuppressor suppressor;
  suppressor.setRoomGain(roomGain);
  const std::vector<std::int16_t> played(160, 1000);
  std::vector<std::int16_t> cleaned;
  for (int frame = 0; frame < 50; ++frame) {
    cleaned.assign(160, left);
    suppressor.apply(played, cleaned, atLeast);
  }
  return cleaned.back() / static_cast<double>(left);
}

// What is no louder than the echo the room gives is silenced; the user talking
// over it (twice as loud or more) is kept whole; and before the room is known nothing is touched,
// unless the caller foretells an echo.
TEST(EchoSuppressor, BringsDownWhatIsNoLouderThanTheEcho) {
  const struct {
    double roomGain;
    std::int16_t left;
    double kept;
    double atLeast = 0;
  } cases[] = {{0.5, 500, 0}, {0.5, 100, 0}, {0.5, 1000, 1.0}, {0.5, 700, -1}, {0, 100, 1.0}, {0, 100, 0, 500}};
  for (const auto& c : cases) {
    const double kept = keptOf(c.roomGain, c.left, c.atLeast);
    if (c.kept < 0) {
      EXPECT_TRUE(kept > 0.01 && kept < 1) << c.left << ": " << kept;
    } else {
      EXPECT_NEAR(kept, c.kept, 0.005) << c.left;
    }
  }
}

}  // namespace
