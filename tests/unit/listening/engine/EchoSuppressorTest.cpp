#include "listening/engine/EchoSuppressor.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Frames of the sound played, of the microphone and of the canceller's output, each frame at one
// level, `count` in a row.
struct Frames {
  std::int16_t played, mic, left;
  int count;
};

// What share of the canceller's output is kept in the last frame?
double keptOf(double roomGain, double atLeast, const std::vector<Frames>& run) {
  EchoSuppressor suppressor;
  suppressor.setRoomGain(roomGain);
  std::vector<std::int16_t> cleaned;
  for (const auto& frames : run) {
    const std::vector<std::int16_t> played(160, frames.played), mic(160, frames.mic);
    for (int frame = 0; frame < frames.count; ++frame) {
      cleaned.assign(160, frames.left);
      suppressor.apply(played, mic, cleaned, atLeast);
    }
  }
  return cleaned.back() / static_cast<double>(run.back().left);
}

// What is no louder than the echo the room gives (half the sound played) is silenced; the user
// talking over it (twice as loud or more) is kept whole, and so is what follows a voice, but not
// what follows a sound too quiet to be one; before the room is known nothing is touched, unless
// the caller foretells an echo. Once the canceller has left a twentieth of the echo for a while,
// the user talking over it at about its loudness is kept; before that it is taken for the echo,
// and so it is not when the user starts talking just before the echo comes.
TEST(EchoSuppressor, BringsDownWhatIsNoLouderThanTheEcho) {
  const struct {
    const char* what;
    double roomGain, atLeast;
    std::vector<Frames> run;
    double kept;  // -1: some, not all
  } cases[] = {
      {"echo", 0.5, 0, {{1000, 500, 500, 50}}, 0},
      {"faint echo", 0.5, 0, {{1000, 100, 100, 50}}, 0},
      {"user", 0.5, 0, {{1000, 1000, 1000, 50}}, 1},
      {"user a little louder", 0.5, 0, {{1000, 700, 700, 50}}, -1},
      {"no room yet", 0, 0, {{1000, 100, 100, 50}}, 1},
      {"foretold", 0, 500, {{1000, 100, 100, 50}}, 0},
      {"after a voice", 0.5, 0, {{4, 1000, 1000, 1}, {1000, 400, 400, 1}}, 1},
      {"after a whisper", 0.5, 0, {{4, 10, 10, 1}, {1000, 400, 400, 1}}, 0},
      {"over what the canceller leaves", 0.5, 0, {{1000, 500, 25, 400}, {1000, 900, 450, 1}}, 1},
      {"before it is known", 0.5, 0, {{1000, 900, 450, 1}}, 0},
      {"starting with the other side", 0.5, 0, {{1000, 500, 25, 400}, {1000, 100, 100, 1}, {1000, 900, 450, 1}}, 1},
  };
  for (const auto& c : cases) {
    const double kept = keptOf(c.roomGain, c.atLeast, c.run);
    if (c.kept < 0) {
      EXPECT_TRUE(kept > 0.01 && kept < 1) << c.what << ": " << kept;
    } else {
      EXPECT_NEAR(kept, c.kept, 0.005) << c.what;
    }
  }
}

}  // namespace
