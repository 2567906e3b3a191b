#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "fakes/FakeConsole.h"
#include "fakes/FakePlatform.h"
#include "listening/engine/ListenFailure.h"
#include "listening/engine/OtherSide.h"
#include "listening/engine/SystemAudioStream.h"
#include "listening/engine/Within.h"
#include "base/LineWriter.h"
#include "main/permissions/Permissions.h"
#include "support/Pcm.h"

using namespace std::chrono_literals;

namespace {
void ignore(const std::string&, bool) {}
}  // namespace

TEST(WithinTest, TheTimeLimitNamesWholeSeconds) {
  const std::pair<double, const char*> cases[] = {
      {20.0, "it didn\u2019t start within 20 seconds"},
      {2.5, "it didn\u2019t start within 2 seconds"},
      {0.05, "it didn\u2019t start within 0 seconds"},
  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(startLimitText(seconds), text);
}

TEST(WithinTest, TheFirstOutcomeWinsAndALateOneIsDropped) {
  EXPECT_EQ(within(1s, [] { return 7; }), 7);

  // An early failure is the operation's own, not the time limit.
  const auto began = std::chrono::steady_clock::now();
  EXPECT_THROW(within(2s, []() -> int { throw std::runtime_error("broke"); }), std::runtime_error);
  EXPECT_LT(std::chrono::steady_clock::now() - began, 1s);

  // A slow operation loses to the limit, yet runs to its end; its result goes nowhere.
  auto finished = std::make_shared<std::atomic<bool>>(false);
  try {
    within(50ms, [finished] {
      std::this_thread::sleep_for(200ms);
      *finished = true;
      return 1;
    });
    FAIL() << "the limit did not win";
  } catch (const ListenFailure& failure) {
    EXPECT_STREQ(failure.what(), "it didn\u2019t start within 0 seconds");
  }
  EXPECT_FALSE(*finished);
  for (int i = 0; i < 100 && !*finished; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(*finished);
}

class OtherSideTest : public ::testing::Test {
 protected:
  std::shared_ptr<OtherSide> make() {
    return OtherSide::make(
        fakes.platform, lines,
        [this](const std::shared_ptr<OtherSide>&, std::exception_ptr error) {
          ends.push_back(explain(error));
        },
        0.2);
  }
  FakePlatform fakes;
  FakeConsole console;
  LineWriter lines{console};
  std::vector<std::string> ends;
};

TEST_F(OtherSideTest, RunsReportsAndTellsOfItsEnd) {
  auto side = make();
  EXPECT_EQ(side->level(), 0.0f);
  EXPECT_FALSE(side->report());
  std::vector<std::string> heard;
  auto report = side->start([&heard](const std::string& text, bool) { heard.push_back(text); });
  ASSERT_TRUE(report);
  EXPECT_EQ(*report, (nlohmann::json{{"sink", {{"name", "speakers"}, {"description", "Speakers"}}},
                                     {"sampleRate", 48000},
                                     {"channels", 2},
                                     {"excludesCurrentProcessAudio", true}}));
  ASSERT_TRUE(fakes.systemAudio->deliver(spoken(1)));
  ASSERT_TRUE(fakes.systemAudio->deliver(spoken(2, 800)));
  auto figures = *side->report();
  EXPECT_EQ(figures["buffers"], 2);
  EXPECT_EQ(figures["frames"], 2400);
  EXPECT_EQ(figures["sampleRate"], 16000);
  EXPECT_EQ(figures["channels"], 1);
  EXPECT_EQ(figures["formatChanges"], 1);
  EXPECT_EQ(figures["dropped"], 0);
  EXPECT_EQ(figures["screenFramesDropped"], 0);
  EXPECT_FALSE(figures.contains("calls"));

  ASSERT_TRUE(fakes.systemAudio->end("Entity killed", 7));
  EXPECT_EQ(ends, std::vector<std::string>{"Entity killed (7)"});
  side->stop();
  EXPECT_EQ(fakes.systemAudio->closed, 1);
  EXPECT_EQ(ends.size(), 1u);
}

TEST_F(OtherSideTest, AStopDuringTheStartLeavesNothingRunning) {
  fakes.speechEngine->loadDelay = 200ms;
  auto side = make();
  auto started = std::async(std::launch::async, [side] { return side->start(ignore); });
  std::this_thread::sleep_for(50ms);
  side->stop();
  EXPECT_FALSE(started.get());
  EXPECT_EQ(fakes.systemAudio->recording, 0);
  EXPECT_TRUE(ends.empty());
  side->stop();  // again: nothing more
}

TEST_F(OtherSideTest, EveryStopWaitsForTheStreamAndTheTranscriber) {
  auto side = make();
  side->start(ignore);
  auto first = std::async(std::launch::async, [side] { side->stop(); });
  auto second = std::async(std::launch::async, [side] { side->stop(); });
  second.get();
  EXPECT_EQ(fakes.systemAudio->closed, 1);
  first.get();
  EXPECT_FALSE(fakes.systemAudio->streaming());
  EXPECT_TRUE(ends.empty());
}

TEST_F(OtherSideTest, TheStreamStartsOnceAndOnlyWhenAllowed) {
  auto stream = SystemAudioStream::make(fakes.platform, {}, {});
  fakes.soundServer->monitor = SoundServer::Access::Refused;
  try {
    stream->start();
    FAIL();
  } catch (const ListenFailure& failure) {
    EXPECT_EQ(failure.what(), std::string(systemAudioDenied));
  }
  try {
    stream->start();
    FAIL();
  } catch (const ListenFailure& failure) {
    EXPECT_STREQ(failure.what(), "The Mac\u2019s sound is already being heard");
  }
  fakes.soundServer->monitor = SoundServer::Access::Allowed;
  fakes.systemAudio->refusal = "Access denied";
  auto refused = SystemAudioStream::make(fakes.platform, {}, {});
  try {
    refused->start();
    FAIL();
  } catch (...) {
    EXPECT_EQ(explain(std::current_exception()), "Access denied (7)");
  }
}
