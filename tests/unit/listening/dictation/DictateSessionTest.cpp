#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <limits>
#include <sstream>
#include <thread>

#include "fakes/FakeConsole.h"
#include "fakes/FakePlatform.h"
#include "listening/dictation/DictateSession.h"
#include "base/LineWriter.h"
#include "listening/engine/NeedsDownload.h"
#include "base/RunLog.h"
#include "base/Timings.h"
#include "support/Files.h"
#include "support/Pcm.h"
#include "support/EventLines.h"
#include "support/Scratch.h"
#include "support/LoopThread.h"
#include "support/SessionEndings.h"

using nlohmann::json;
using namespace std::chrono_literals;

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();

class DictateSessionTest : public ::testing::Test {
 protected:
  DictateSessionTest() {
    timings.dictateTick = 10ms;
    timings.levelInterval = 20ms;
    timings.dictateSilent = 300ms;
    timings.dictateCap = 800ms;
    timings.dictateNoAudio = 50ms;
    timings.dictateDrain = 200ms;
    timings.endingGrace = 300ms;
    fakes.audioInput->sourceFormat = PcmFormat{16000, 1, SampleFormat::Int16, true};
    setRunLog(std::make_shared<RunLog>(scratch.root() / "dictate.log", console));
  }
  ~DictateSessionTest() override {
    endings.settle();  // the fakes outlive every session
    looper.stop();
    setRunLog(nullptr);
  }

  std::shared_ptr<DictateSession> make(double quiet, bool hold = false, bool keep = false) {
    DictateSession::Services services{
        fakes.platform, lines, timings,
        [this](const std::string& text) { console.err(text); },
        endings.make(), looper.loop()};
    return DictateSession::make(services, quiet, hold, keep);
  }
  // The first ending's status, or -1 when none came in time.
  int endStatus(std::chrono::milliseconds limit = 3000ms) { return endings.first(limit); }
  std::vector<json> events() { return eventsBesidesLevels(console.stdoutText()); }
  std::vector<std::string> kinds() {
    std::vector<std::string> found;
    for (const auto& event : events()) found.push_back(event["kind"]);
    return found;
  }
  std::string logText() { return fileText(scratch.root() / "dictate.log"); }
  void say(std::initializer_list<std::int16_t> codes) {
    for (auto code : codes) ASSERT_TRUE(fakes.audioInput->deliver(spoken(code)));
  }

  Scratch scratch;
  FakePlatform fakes;
  FakeConsole console;
  LineWriter lines{console};
  Timings timings;
  LoopThread looper;
  SessionEndings endings;
  // The stdin reader's and the ticks' way in: the work posted to the session's loop.
  void onLoop(const std::function<void()>& work) { looper.run(work); }
};

}  // namespace

TEST_F(DictateSessionTest, QuietAfterSpeechEndsWithTheWordsAndDone) {
  auto session = make(0.1);
  session->start();
  say({1, 2, 0});
  EXPECT_EQ(endStatus(), 0);
  EXPECT_EQ(kinds(), (std::vector<std::string>{"listening", "partial", "partial", "line", "done"}));
  auto all = events();
  EXPECT_EQ(all[0], (json{{"kind", "listening"}, {"me", true}, {"them", false}}));
  EXPECT_EQ(all[2], (json{{"kind", "partial"}, {"who", "me"}, {"text", "Hello world"}}));
  EXPECT_EQ(all[3]["text"], "Hello world.");
  EXPECT_EQ(all[3]["who"], "me");
  EXPECT_EQ(all[3]["at"].get<std::string>().size(), 24u);
  EXPECT_NE(console.stdoutText().find("{\"kind\":\"level\",\"level\":"), std::string::npos);
  const std::string log = logText();
  EXPECT_NE(log.find(" dictate start pid="), std::string::npos);
  EXPECT_NE(log.find(" quiet=0.1\n"), std::string::npos);
  EXPECT_NE(log.find(" dictate model ready\n"), std::string::npos);
  EXPECT_NE(log.find(" dictate microphone on {\"format\":\"16000 Hz, 1 ch, float32le\"}\n"),
            std::string::npos);
  EXPECT_NE(log.find(" dictate stop\n"), std::string::npos);
}

TEST_F(DictateSessionTest, NothingHeardEndsAtTheSilentTime) {
  auto session = make(0.05);
  const auto began = std::chrono::steady_clock::now();
  session->start();
  onLoop([&] { session->heard(" \n\t", true); });  // empty after trimming: not heard
  EXPECT_EQ(endStatus(), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - began, 300ms);
  EXPECT_EQ(kinds(), (std::vector<std::string>{"listening", "done"}));
}

TEST_F(DictateSessionTest, HoldSessionsIgnoreQuietButNotTheCap) {
  auto session = make(INF, true);
  const auto began = std::chrono::steady_clock::now();
  session->start();
  say({1, 0});
  EXPECT_EQ(endStatus(), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - began, 800ms);
  EXPECT_EQ(kinds(), (std::vector<std::string>{"listening", "partial", "line", "done"}));
  const std::string log = logText();
  EXPECT_NE(log.find(" quiet=inf\n"), std::string::npos);
  EXPECT_NE(log.find(" dictate listening\n"), std::string::npos);
  // Every eighth tick logs the meter with the results so far.
  EXPECT_NE(log.find("\"lines\":1"), std::string::npos);
  EXPECT_NE(log.find("\"partials\":1"), std::string::npos);
}

TEST_F(DictateSessionTest, StopInAKeepModeHandsBackTheSoundBeforeDone) {
  auto session = make(INF, false, true);
  session->start();
  say({1, 1, 0});
  onLoop([&] { session->stop(); });
  EXPECT_EQ(endStatus(), 0);
  auto all = events();
  ASSERT_EQ(kinds(), (std::vector<std::string>{"listening", "partial", "line", "sound", "done"}));
  EXPECT_EQ(all[3]["wav"].get<std::string>().substr(0, 5), "UklGR");  // "RIFF"
}

TEST_F(DictateSessionTest, CancelDropsTheSoundAndLaterEndingsDoNothing) {
  auto session = make(INF, false, true);
  session->start();
  say({0});
  onLoop([&] { session->cancel(); });
  onLoop([&] { session->stop(); });
  onLoop([&] { session->cancel(); });
  EXPECT_EQ(endStatus(), 0);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(endings.count(), 1u);
  EXPECT_EQ(kinds().back(), "done");
  EXPECT_EQ(console.stdoutText().find("\"sound\""), std::string::npos);
  EXPECT_NE(logText().find(" dictate cancel\n"), std::string::npos);
  EXPECT_FALSE(fakes.audioInput->streaming());
}

TEST_F(DictateSessionTest, AStopBeforeTheStartEndsAtOnce) {
  auto session = make(1.5);
  onLoop([&] { session->stop(); });
  EXPECT_EQ(endStatus(), 0);
  EXPECT_EQ(kinds(), std::vector<std::string>{"done"});
  session->start();  // returns without starting the microphone
  EXPECT_EQ(fakes.audioInput->opened, 0);
}

TEST_F(DictateSessionTest, AMissingModelFailsTheStartBeforeTheMicrophone) {
  fakes.speechEngine->modelInstalled = false;
  EXPECT_THROW(make(1.5)->start(), NeedsDownload);
  EXPECT_THROW(make(INF, true)->start(), NeedsDownload);
  EXPECT_EQ(fakes.audioInput->opened, 0);
}

TEST_F(DictateSessionTest, HoldModeHoldsEarlySoundUntilTheTranscriberIsReady) {
  fakes.speechEngine->loadDelay = 200ms;
  auto session = make(INF, true);
  std::thread starting([&] { session->start(); });
  while (!fakes.audioInput->streaming()) std::this_thread::sleep_for(1ms);
  say({1, 2, 0});
  EXPECT_EQ(fakes.speechEngine->loads, 1);
  starting.join();
  onLoop([&] { session->stop(); });
  EXPECT_EQ(endStatus(), 0);
  EXPECT_EQ(kinds(), (std::vector<std::string>{"listening", "partial", "partial", "line", "done"}));
  EXPECT_EQ(events()[3]["text"], "Hello world.");
  const std::string log = logText();
  EXPECT_LT(log.find("microphone on"), log.find("model ready"));
}

TEST_F(DictateSessionTest, AMicrophoneThatStaysSilentIsRestartedOnceThenGivenUp) {
  auto session = make(INF, true);
  session->start();
  EXPECT_EQ(endStatus(), 1);
  EXPECT_EQ(console.stderrText(), "Couldn't hear the microphone.");
  EXPECT_EQ(fakes.audioInput->opened, 2);
  const std::string log = logText();
  EXPECT_NE(log.find(" dictate no audio, starting the microphone again\n"), std::string::npos);
  EXPECT_NE(log.find(" dictate no audio\n"), std::string::npos);
}

TEST_F(DictateSessionTest, AHeadsetHoldsListeningBackUntilRealSound) {
  fakes.audioInput->defaultSourceValue = AudioInput::Source{"headset", true, false};
  fakes.audioInput->sourceList = {{"headset", true, false}};
  fakes.audioInput->sourceFormat = PcmFormat{16000, 1, SampleFormat::Float32, true};
  timings.dictateSilent = 5s;
  auto session = make(INF, true);
  session->start();
  ASSERT_TRUE(fakes.audioInput->deliver(floats(16000, 1, std::vector<float>(1600, 0.0f))));
  std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(kinds().empty());  // silent buffers satisfy the watchdog but not the listener
  EXPECT_EQ(endings.count(), 0u);
  ASSERT_TRUE(fakes.audioInput->deliver(floats(16000, 1, std::vector<float>(1600, 0.1f))));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(kinds(), std::vector<std::string>{"listening"});
  onLoop([&] { session->cancel(); });
  EXPECT_EQ(endStatus(), 0);
}

TEST_F(DictateSessionTest, ACancelDuringAHoldStartEndsAtOnce) {
  fakes.speechEngine->loadDelay = 300ms;
  auto session = make(INF, true);
  std::thread starting([&] {
    try {
      session->start();
    } catch (...) {
    }
  });
  while (!fakes.audioInput->streaming()) std::this_thread::sleep_for(1ms);
  onLoop([&] { session->cancel(); });
  EXPECT_EQ(endStatus(200ms), 0);
  EXPECT_EQ(kinds().back(), "done");
  EXPECT_EQ(console.stdoutText().find("\"partial\""), std::string::npos);
  starting.join();
}

// A sound server that stops answering while the microphone starts: a cancel still ends at once,
// a stop within its drain and the grace, each with "done" as the very last line.
TEST_F(DictateSessionTest, EndingsFinishInTimeWhileTheSoundServerHangs) {
  for (const bool hold : {false, true}) {
    for (const std::string ending : {"cancel", "stop"}) {
      SCOPED_TRACE((hold ? "hold " : "hands-free ") + ending);
      endings.clear();
      fakes.audioInput->hang = true;
      const int recording = fakes.audioInput->recording;
      auto session = make(hold ? INF : 1.5, hold);
      std::thread starting([&] {
        try {
          session->start();
        } catch (...) {
        }
      });
      while (fakes.audioInput->recording == recording) std::this_thread::sleep_for(1ms);
      const auto began = std::chrono::steady_clock::now();
      onLoop([&] { ending == "cancel" ? session->cancel() : session->stop(); });
      EXPECT_EQ(endStatus(1000ms), 0);
      // A hung start would keep the session forever; the slack only covers a loaded machine
      // running the sanitizer build.
      EXPECT_LT(std::chrono::steady_clock::now() - began,
                (ending == "cancel" ? timings.endingGrace
                                    : timings.dictateDrain + timings.endingGrace) + 700ms);
      fakes.audioInput->answer();  // the start goes on, and must write nothing more
      starting.join();
      std::this_thread::sleep_for(50ms);
      EXPECT_EQ(kinds().back(), "done");
    }
  }
}

// The decoder can't settle the last phrase within the drain: the phrase already shown still
// ends as a line, before "done".
TEST_F(DictateSessionTest, AShownPhraseEndsAsALineWhenTheDrainRunsOut) {
  fakes.speechEngine->decoderDelay = 60ms;
  auto session = make(INF);
  session->start();
  say({1, 2, 2, 2, 2, 2, 2, 2});
  std::this_thread::sleep_for(150ms);
  onLoop([&] { session->stop(); });
  EXPECT_EQ(endStatus(), 0);
  std::this_thread::sleep_for(300ms);
  const auto all = events();
  ASSERT_GE(all.size(), 3u);
  EXPECT_EQ(all.back()["kind"], "done");
  EXPECT_EQ(all[all.size() - 2]["kind"], "line");
  EXPECT_EQ(all[all.size() - 2]["text"], all[all.size() - 3]["text"].get<std::string>() + ".");
  EXPECT_EQ(all[all.size() - 3]["kind"], "partial");
}

// Results the decoder still works out after a cancel are never written after "done".
TEST_F(DictateSessionTest, NothingFollowsDoneAfterACancel) {
  fakes.speechEngine->decoderDelay = 20ms;
  auto session = make(INF);
  session->start();
  say({1, 2, 0, 3, 0, 1, 0});
  onLoop([&] { session->cancel(); });
  EXPECT_EQ(endStatus(), 0);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(kinds().back(), "done");
}
