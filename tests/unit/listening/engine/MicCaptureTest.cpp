#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "fakes/FakeConsole.h"
#include "fakes/FakePlatform.h"
#include "base/LineWriter.h"
#include "listening/engine/ListenFailure.h"
#include "listening/engine/MicCapture.h"
#include "support/Pcm.h"

namespace {

class MicCaptureTest : public ::testing::Test {
 protected:
  std::shared_ptr<MicCapture> make(bool preferBuiltIn = false, bool voiceProcessing = false) {
    return MicCapture::make(*fakes.audioInput, lines, voiceProcessing, preferBuiltIn);
  }
  MicCapture::BufferHandler counter() {
    return [this](const PcmBuffer&) { ++buffers; };
  }
  // Waits a little for the capture's queue to act on a device change.
  bool eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 200 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return done();
  }

  FakePlatform fakes;
  FakeConsole console;
  LineWriter lines{console};
  std::atomic<int> buffers{0};
  PcmBuffer buffer = floats(48000, 2, {0.5f, -0.25f});
};

}  // namespace

TEST_F(MicCaptureTest, EachBufferIsMeteredThenHandedOn) {
  auto mic = make(false, true);
  mic->start(counter());
  EXPECT_TRUE(fakes.audioInput->lastVoiceProcessing);
  ASSERT_TRUE(fakes.audioInput->deliver(buffer));
  EXPECT_EQ(buffers, 1);
  EXPECT_EQ(mic->meter().level(), 0.5f);
  EXPECT_EQ(mic->format(), "48000 Hz, 2 ch, float32le");
  EXPECT_EQ(fakes.audioInput->lastFrames, 960u);  // 20 ms of the source's own format
}

TEST_F(MicCaptureTest, AnAskedRateIsRecordedInMonoIn20MillisecondBuffers) {
  auto mic = MicCapture::make(*fakes.audioInput, lines, false, false, 16000);
  mic->start(counter());
  EXPECT_EQ(fakes.audioInput->lastFormat, (PcmFormat{16000, 1, SampleFormat::Float32, true}));
  EXPECT_EQ(fakes.audioInput->lastFrames, 320u);
  EXPECT_EQ(mic->format(), "16000 Hz, 1 ch, float32le");
  mic->stop();
  EXPECT_FALSE(fakes.audioInput->deliver(buffer));
}

TEST_F(MicCaptureTest, ASecondStartKeepsTheFirstCallback) {
  auto mic = make();
  mic->start(counter());
  std::atomic<int> other{0};
  mic->start([&](const PcmBuffer&) { ++other; });
  fakes.audioInput->deliver(buffer);
  EXPECT_EQ(fakes.audioInput->opened, 1);
  EXPECT_EQ(buffers, 1);
  EXPECT_EQ(other, 0);
}

TEST_F(MicCaptureTest, AStoppedCaptureNeverStartsAgain) {
  auto mic = make();
  mic->stop();
  mic->start(counter());
  mic->startAgain();
  fakes.audioInput->change();
  EXPECT_FALSE(eventually([&] { return fakes.audioInput->opened > 0; }));

  auto running = make();
  running->start(counter());
  running->stop();
  running->stop();
  EXPECT_FALSE(fakes.audioInput->streaming());
  running->startAgain();
  EXPECT_EQ(fakes.audioInput->opened, 2 - 1);
}

TEST_F(MicCaptureTest, ASourceWithoutAFormatIsNoMicrophoneAndALaterStartTriesAgain) {
  fakes.audioInput->sourceFormat = PcmFormat{0, 2, SampleFormat::Float32, true};
  auto mic = make();
  try {
    mic->start(counter());
    FAIL() << "started";
  } catch (const ListenFailure& failure) {
    EXPECT_STREQ(failure.what(), "No microphone: the input device has no audio format");
  }
  fakes.audioInput->sourceFormat = PcmFormat{16000, 1, SampleFormat::Float32, true};
  mic->start(counter());
  EXPECT_TRUE(fakes.audioInput->deliver(buffer));
}

TEST_F(MicCaptureTest, TheServersRefusalPassesThrough) {
  fakes.audioInput->refusal = "Access denied";
  auto mic = make();
  EXPECT_THROW(mic->start(counter()), std::runtime_error);
  fakes.audioInput->refusal.clear();
  mic->startAgain();  // not running: nothing happens
  EXPECT_EQ(fakes.audioInput->opened, 0);
}

TEST_F(MicCaptureTest, PreferBuiltInMovesOffABluetoothDefault) {
  fakes.audioInput->defaultSourceValue = AudioInput::Source{"headset", true, false};
  fakes.audioInput->sourceList = {{"headset", true, false}, {"internal", false, true}};
  auto mic = make(true);
  mic->start(counter());
  EXPECT_EQ(fakes.audioInput->lastSource, "internal");
  EXPECT_FALSE(mic->onHeadset());

  auto plain = make(false);
  plain->start(counter());
  EXPECT_EQ(fakes.audioInput->lastSource, "");
  EXPECT_FALSE(plain->onHeadset());
}

TEST_F(MicCaptureTest, WithoutABuiltInMicrophoneTheHeadsetStays) {
  fakes.audioInput->defaultSourceValue = AudioInput::Source{"headset", true, false};
  fakes.audioInput->sourceList = {{"headset", true, false}};
  auto mic = make(true);
  mic->start(counter());
  EXPECT_EQ(fakes.audioInput->lastSource, "");
  EXPECT_TRUE(mic->onHeadset());

  fakes.audioInput->listFails = true;
  auto unlisted = make(true);
  unlisted->start(counter());
  EXPECT_TRUE(unlisted->onHeadset());

  fakes.audioInput->defaultSourceValue = AudioInput::Source{"wired", false, false};
  auto wired = make(true);
  wired->start(counter());
  EXPECT_FALSE(wired->onHeadset());
}

TEST_F(MicCaptureTest, ADeviceChangeRestartsARunningCapture) {
  auto mic = make();
  mic->start(counter());
  fakes.audioInput->change();
  ASSERT_TRUE(eventually([&] { return fakes.audioInput->opened == 2; }));
  EXPECT_EQ(fakes.audioInput->closed, 1);
  ASSERT_TRUE(eventually([&] { return fakes.audioInput->streaming(); }));
  fakes.audioInput->deliver(buffer);
  EXPECT_EQ(buffers, 1);
}

TEST_F(MicCaptureTest, AFailedRestartIsAnErrorLineAndStopStillWorks) {
  auto mic = make();
  mic->start(counter());
  fakes.audioInput->refusal = "No such entity";
  fakes.audioInput->change();
  ASSERT_TRUE(eventually([&] { return !console.stdoutText().empty(); }));
  EXPECT_EQ(console.stdoutText(),
            "{\"kind\":\"error\",\"message\":\"The microphone stopped when the audio device "
            "changed and couldn\u2019t be started again: No such entity\"}\n");
  mic->stop();
  EXPECT_FALSE(fakes.audioInput->streaming());
}
