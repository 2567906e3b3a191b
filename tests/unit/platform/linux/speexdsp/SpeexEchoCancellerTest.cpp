#include "platform/linux/speexdsp/SpeexEchoCanceller.h"

#include <gtest/gtest.h>

#include "support/EchoScene.h"

namespace {

using namespace echo_scene;

// Speech played at half level through a reverberant room: behind the aligner and its
// suppressor, the echo is 25 dB down or more 2 s after it starts, wherever the speaker is
// and however its clock runs.
TEST(SpeexEchoCanceller, TakesTheEchoOfSpeechOutOfTheMicrophone) {
  for (const Room room : {Room{0.06, 0}, Room{0.2, 0}, Room{0.06, 100}}) {
    const Scene scene = sceneOf(room);
    ASSERT_FALSE(scene.mic.empty()) << "sox or the test recordings are missing";
    EXPECT_GE(lossDb(scene.mic, cancelled(scene, std::make_unique<SpeexEchoCanceller>()), LEAD + 2), 25)
        << room.delay << " s, " << room.ppm << " ppm";
  }
}

}  // namespace
