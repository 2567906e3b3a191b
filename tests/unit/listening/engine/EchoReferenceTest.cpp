#include "listening/engine/EchoReference.h"

#include <gtest/gtest.h>

#include "fakes/FakeSystemAudio.h"
#include "listening/engine/EchoAligner.h"
#include "listening/engine/ListenFailure.h"
#include "support/Eventually.h"
#include "support/Pcm.h"

namespace {

// A start that runs hands the monitor's buffers on until the stop; one the server refuses, or
// does not answer within the limit, throws and leaves nothing running.
TEST(EchoReference, StartsWithinItsLimitAndStops) {
  const struct {
    const char* what;
    std::string refusal;
    bool hang;
    bool runs;
  } cases[] = {{"runs", "", false, true}, {"refused", "Access denied", false, false}, {"hangs", "", true, false}};
  for (const auto& c : cases) {
    FakeSystemAudio audio;
    audio.refusal = c.refusal;
    audio.hang = c.hang;
    EchoReference reference(audio, std::make_shared<EchoAligner>(nullptr, nullptr));
    if (c.runs) {
      reference.start(std::chrono::milliseconds(500));
    } else if (c.hang) {
      EXPECT_THROW(reference.start(std::chrono::milliseconds(20)), ListenFailure);
      audio.answer();
      EXPECT_TRUE(eventually([&audio] { return audio.closed == 1; })) << "the late recording is closed";
    } else {
      EXPECT_THROW(reference.start(std::chrono::milliseconds(500)), SoundServerError);
    }
    EXPECT_EQ(audio.deliver(floats(16000, 1, std::vector<float>(320, 0.5f))), c.runs) << c.what;
    reference.stop();
    EXPECT_FALSE(audio.deliver(floats(16000, 1, std::vector<float>(320, 0.5f)))) << c.what;
  }
}

}  // namespace
