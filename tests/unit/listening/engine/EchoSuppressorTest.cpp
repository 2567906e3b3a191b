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
  const std::vector<std::int16_t> mic(160, left);  // the canceller takes nothing out
  for (int frame = 0; frame < 50; ++frame) {
    cleaned.assign(160, left);
    suppressor.apply(played, mic, cleaned, atLeast);
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

// After the user's voice over a faint echo the next frames are kept whole, even if they are no
// louder than their echo; after a sound too quiet to be a voice over it, they are not.
TEST(EchoSuppressor, KeepsWhatFollowsAVoiceButNotWhatFollowsAWhisper) {
  for (const std::int16_t before : {10, 1000}) {
    EchoSuppressor suppressor;
    suppressor.setRoomGain(0.5);
    const std::vector<std::int16_t> faint(160, 4), loud(160, 1000);
    std::vector<std::int16_t> cleaned(160, before);
    suppressor.apply(faint, cleaned, cleaned);
    cleaned.assign(160, 400);
    suppressor.apply(loud, cleaned, cleaned);
    EXPECT_EQ(cleaned.back() != 0, before == 1000) << before;
  }
}

// Once the canceller has left a twentieth of the echo for a while, the user talking over it at
// about its loudness is kept; before that it is taken for the echo.
TEST(EchoSuppressor, KeepsTheUserOverTheEchoOnceItKnowsHowLittleTheCancellerLeaves) {
  for (const bool learnt : {false, true}) {
    EchoSuppressor suppressor;
    suppressor.setRoomGain(0.5);
    const std::vector<std::int16_t> played(160, 1000);
    std::vector<std::int16_t> mic(160, 500), cleaned;
    for (int frame = 0; learnt && frame < 400; ++frame) {
      cleaned.assign(160, 25);
      suppressor.apply(played, mic, cleaned);
    }
    mic.assign(160, 900);
    cleaned.assign(160, 450);
    suppressor.apply(played, mic, cleaned);
    EXPECT_EQ(cleaned.back() == 450, learnt);
  }
}

}  // namespace
