#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "fakes/FakeConsole.h"
#include "fakes/FakePlatform.h"
#include "listening/meeting/ListenCommand.h"
#include "listening/meeting/ListenSession.h"
#include "base/LineWriter.h"
#include "base/RunLog.h"
#include "base/Timings.h"
#include "support/Files.h"
#include "support/EventLines.h"
#include "main/permissions/Permissions.h"
#include "support/Pcm.h"
#include "support/Scratch.h"
#include "support/LoopThread.h"
#include "support/SessionEndings.h"

using nlohmann::json;
using namespace std::chrono_literals;
using Kinds = std::vector<std::string>;

namespace {

class ListenSessionTest : public ::testing::Test {
 protected:
  ListenSessionTest() {
    timings.meetingTick = 10ms;
    timings.levelInterval = 20ms;
    timings.meetingReport = 30ms;
    timings.meetingWatchdog = 1500ms;
    timings.meetingDrain = 200ms;
    timings.otherSideStartLimit = 1s;
    fakes.audioInput->sourceFormat = PcmFormat{16000, 1, SampleFormat::Int16, true};
    setRunLog(std::make_shared<RunLog>(folder() / "meeting.log", console));
  }
  ~ListenSessionTest() override {
    endings.settle();  // the fakes outlive every session
    looper.stop();
    setRunLog(nullptr);
  }

  std::filesystem::path folder() const { return scratch.root() / "meetings"; }

  std::shared_ptr<ListenSession> make(const std::string& source,
                                      std::optional<std::string> pausedFrom = std::nullopt,
                                      LineWriter* writer = nullptr) {
    return ListenSession::make(
        ListenSession::Services{fakes.platform, writer ? *writer : lines, timings, folder(),
                                endings.make(), looper.loop()},
        "2024-05-01-093000", source, std::move(pausedFrom));
  }
  int endStatus(std::chrono::milliseconds limit = 3000ms) { return endings.first(limit); }
  std::vector<json> events() { return eventsBesidesLevels(console.stdoutText()); }
  Kinds kinds() {
    Kinds found;
    for (const auto& event : events()) found.push_back(event["kind"]);
    return found;
  }
  std::vector<json> transcript() {
    std::vector<json> records;
    std::ifstream file(folder() / "2024-05-01-093000.jsonl");
    for (std::string line; std::getline(file, line);) records.push_back(json::parse(line));
    return records;
  }
  std::string logText() { return fileText(folder() / "meeting.log"); }
  // Waits until the lines hold the kind (n times).
  bool waitFor(const std::string& kind, int n = 1) {
    for (int i = 0; i < 300; ++i) {
      const Kinds now = kinds();
      if (std::count(now.begin(), now.end(), kind) >= n) return true;
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }

  Scratch scratch;
  FakePlatform fakes;
  FakeConsole console;
  LineWriter lines{console};
  Timings timings;
  LoopThread looper;
  SessionEndings endings;
};

}  // namespace

TEST_F(ListenSessionTest, BothSidesSettleIntoTheTranscriptAndStopEndsWithDone) {
  auto session = make("both");
  looper.run([&] { session->reportSources(); });
  session->start();
  // The user speaks first: over the other side's sound, the microphone's frames would wait for
  // the first echo to be looked for in more of it than this test gives.
  for (auto code : {1, 2, 0}) ASSERT_TRUE(fakes.audioInput->deliver(spoken(code)));
  const bool mine = waitFor("line");
  for (auto code : {3, 0}) ASSERT_TRUE(fakes.systemAudio->deliver(spoken(code)));
  const bool both = waitFor("line", 2);
  looper.run([&] {
    session->stop("asked");
    session->stop("asked");
    session->quit();
  });
  EXPECT_EQ(endStatus(), 0);
  ASSERT_TRUE(mine && both);

  const auto all = events();
  EXPECT_EQ(all[0], (json{{"kind", "ready"}}));
  EXPECT_EQ(all[1], (json{{"kind", "listening"}, {"me", true}, {"them", true}}));
  EXPECT_EQ(all.back(), (json{{"kind", "done"}}));
  const Kinds seen = kinds();
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "stopped"), 1);
  std::map<std::string, std::string> said;
  for (const auto& event : all) {
    if (event["kind"] == "line") said[event["who"]] = event["text"];
  }
  EXPECT_EQ(said, (std::map<std::string, std::string>{{"me", "Hello world."}, {"them", "Again."}}));
  const auto records = transcript();
  ASSERT_EQ(records.size(), 2u);
  for (const auto& record : records) {
    EXPECT_EQ(record["text"], said[record["who"]]);
    EXPECT_EQ(record["at"].get<std::string>().size(), 24u);
  }
  EXPECT_EQ(fakes.systemAudio->closed, 1);
  EXPECT_EQ(fakes.audioInput->closed, 1);
  EXPECT_TRUE(fakes.audioInput->lastVoiceProcessing);
  const std::string log = logText();
  EXPECT_NE(log.find(" them started {\"channels\":2,"), std::string::npos) << log;
  EXPECT_NE(log.find(" meeting stop: asked\n"), std::string::npos);
  EXPECT_NE(log.find(" meeting teardown finished\n"), std::string::npos);
}

TEST_F(ListenSessionTest, AResumedMeetingAppendsAPauseRecordBeforeItsPhrases) {
  std::filesystem::create_directories(folder());
  std::ofstream(folder() / "2024-05-01-093000.jsonl") << R"({"who":"me","at":"x","text":"before"})"
                                                      << "\n";
  auto session = make("mic", "2024-05-01T09:45:00Z");
  session->start();
  looper.run([&] {
    session->heard("me", " \n ", true);  // nothing at all
    session->heard("me", "\t a/b \n", true);
    session->quit();
  });
  EXPECT_EQ(endStatus(), 0);
  const auto records = transcript();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0]["text"], "before");
  EXPECT_EQ(records[1]["pause"]["from"], "2024-05-01T09:45:00Z");
  EXPECT_EQ(records[1]["pause"]["to"].get<std::string>().size(), 24u);
  EXPECT_EQ(records[2]["text"], "A/b.");
  looper.run([&] { session->heard("me", "after the quit period", true); });  // settles, unannounced
  EXPECT_EQ(transcript().back()["text"], "After the quit period.");
  EXPECT_EQ(kinds(), (Kinds{"ready", "listening", "line"}));
}

TEST_F(ListenSessionTest, AFailedWriteIsReportedAndThePhraseStillShown) {
  std::filesystem::create_directories(scratch.root());
  std::ofstream(folder()) << "a file where the folder should be";
  setRunLog(nullptr);
  auto session = make("mic");
  looper.run([&] { session->heard("them", "lost words", true); });
  const auto all = events();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0]["kind"], "error");
  EXPECT_EQ(all[0]["message"].get<std::string>().rfind("Couldn\u2019t write the transcript: ", 0), 0u);
  EXPECT_EQ(all[1]["text"], "Lost words.");
}

// Nothing of "ready", "listening" or an announced error ever follows "stopped", wherever in the
// start the stop lands.
TEST_F(ListenSessionTest, NothingIsAnnouncedAfterStopped) {
  enum class Hold { ModelLoad, Microphone, OtherSide };
  for (Hold hold : {Hold::ModelLoad, Hold::Microphone, Hold::OtherSide}) {
    FakePlatform local;
    local.audioInput->sourceFormat = fakes.audioInput->sourceFormat;
    local.speechEngine->loadDelay = hold == Hold::ModelLoad ? 200ms : 0ms;
    local.audioInput->hang = hold == Hold::Microphone;
    local.systemAudio->hang = hold == Hold::OtherSide;
    FakeConsole out;
    LineWriter written{out};
    std::promise<int> status;
    auto session = ListenSession::make(
        ListenSession::Services{local.platform, written, timings, folder(),
                                [&status](int code) { status.set_value(code); }, looper.loop()},
        "2024-05-01-093000", "both", std::nullopt);
    auto started = std::async(std::launch::async, [this, session] {
      try {
        session->start();
      } catch (...) {
        const auto error = std::current_exception();
        looper.run([&] { session->failed(error); });  // too late to count
      }
    });
    std::this_thread::sleep_for(100ms);
    looper.run([&] { session->stop("asked"); });
    local.audioInput->answer();
    local.systemAudio->answer();
    started.get();
    EXPECT_EQ(status.get_future().get(), 0);
    std::this_thread::sleep_for(50ms);
    const std::string text = out.stdoutText();
    const std::string after = text.substr(text.find("{\"kind\":\"stopped\""));
    for (const char* kind : {"ready", "listening", "error"}) {
      EXPECT_EQ(after.find(std::string("{\"kind\":\"") + kind + "\""), std::string::npos)
          << static_cast<int>(hold) << ": " << text;
    }
    EXPECT_EQ(local.audioInput->opened, local.audioInput->closed);
    EXPECT_EQ(local.systemAudio->opened, local.systemAudio->closed);
    for (int i = 0; i < 100 && session.use_count() > 1; ++i) std::this_thread::sleep_for(10ms);
  }
}

TEST_F(ListenSessionTest, ALostSideIsLetGoStoppedAndCanBeHeardAgain) {
  auto session = make("both");
  session->start();
  ASSERT_TRUE(fakes.systemAudio->end("Entity killed", 7));
  ASSERT_TRUE(waitFor("error"));
  for (int i = 0; i < 100 && fakes.systemAudio->closed < 1; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(fakes.systemAudio->closed, 1);
  EXPECT_FALSE(fakes.systemAudio->end("again", 7));  // a second end of the same side: nothing
  fakes.soundServer->monitor = SoundServer::Access::Refused;
  session->hearThem();
  fakes.soundServer->monitor = SoundServer::Access::Allowed;
  session->hearThem();
  session->hearThem();  // one runs already: nothing
  looper.run([&] { session->stop("asked"); });
  EXPECT_EQ(endStatus(), 0);
  const auto all = events();
  ASSERT_EQ(kinds(), (Kinds{"ready", "listening", "listening", "error", "error", "listening",
                            "stopped", "done"}));
  EXPECT_EQ(all[2], (json{{"kind", "listening"}, {"me", true}, {"them", false}}));
  EXPECT_EQ(all[3]["message"], "Couldn\u2019t hear the Mac\u2019s sound: Entity killed (7)");
  EXPECT_EQ(all[4]["message"], "Couldn\u2019t hear the Mac\u2019s sound: " + std::string(systemAudioDenied));
  EXPECT_EQ(all[5], (json{{"kind", "listening"}, {"me", true}, {"them", true}}));
  EXPECT_EQ(fakes.systemAudio->opened, 2);
  EXPECT_EQ(fakes.systemAudio->closed, 2);
}

TEST_F(ListenSessionTest, ASideThatDoesNotStartInTimeIsLetGoAndStopped) {
  timings.otherSideStartLimit = 100ms;
  fakes.systemAudio->hang = true;
  auto session = make("both");
  session->start();
  const auto all = events();
  ASSERT_EQ(kinds(), (Kinds{"ready", "error", "listening"}));
  EXPECT_EQ(all[1]["message"],
            "Couldn\u2019t hear the Mac\u2019s sound: it didn\u2019t start within 0 seconds");
  EXPECT_EQ(all[2]["them"], false);
  fakes.systemAudio->answer();  // the late start finds its side stopped
  for (int i = 0; i < 100 && fakes.systemAudio->opened > fakes.systemAudio->closed; ++i) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(fakes.systemAudio->opened, fakes.systemAudio->closed);
  looper.run([&] { session->quit(); });
  EXPECT_EQ(endStatus(), 0);
}

TEST_F(ListenSessionTest, QuietCapAndSleepStopTheMeetingByThemselves) {
  struct Case {
    const char* reason;
    std::chrono::milliseconds quiet, cap;
    bool talking = false;
  };
  // The talking case is a 4-hour meeting in which someone keeps speaking: its cap scaled 1:10,000
  // to 1.44 s; its quiet to 300 ms (not 60 ms, so a slow sanitized run never falls quiet between
  // two phrases). Only the cap ends it, and not before its time.
  for (const Case& arranged :
       {Case{"quiet", 100ms, 10000ms}, Case{"cap", 10000ms, 100ms},
        Case{"cap", 300ms, 1440ms, true}, Case{"sleep", 10000ms, 10000ms}}) {
    endings.clear();
    timings.meetingQuiet = arranged.quiet;
    timings.meetingCap = arranged.cap;
    FakeConsole out;
    LineWriter written{out};
    const auto began = std::chrono::steady_clock::now();
    auto session = make("mic", std::nullopt, &written);
    looper.run([&] { session->watchForSelfStop(); });
    session->start();
    std::atomic<bool> ended{false};
    std::thread talker([&] {
      while (arranged.talking && !ended) {
        fakes.audioInput->deliver(spoken(1));
        fakes.audioInput->deliver(spoken(0));
        std::this_thread::sleep_for(20ms);
      }
    });
    if (std::string(arranged.reason) == "sleep") fakes.sleepNotice->sleep();
    EXPECT_EQ(endStatus(arranged.cap + 3000ms), 0) << arranged.reason;
    ended = true;
    talker.join();
    EXPECT_NE(out.stdoutText().find(std::string("{\"kind\":\"stopped\",\"reason\":\"") +
                                    arranged.reason + "\"}"),
              std::string::npos)
        << out.stdoutText();
    if (arranged.talking) {
      EXPECT_GE(std::chrono::steady_clock::now() - began, arranged.cap);
      int said = 0;
      for (const auto& event : eventsBesidesLevels(out.stdoutText())) said += event["kind"] == "line";
      EXPECT_GT(said, 10) << "phrases kept coming until the cap";
    }
    session.reset();
    endings.settle();  // the session writes to this pass's lines to its end
  }
}

TEST_F(ListenSessionTest, TheWatchdogEndsAnEndingThatHangsWithoutDone) {
  timings.meetingWatchdog = 100ms;
  timings.meetingDrain = 1s;
  fakes.speechEngine->decoderDelay = 30ms;
  auto session = make("mic");
  session->start();
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(fakes.audioInput->deliver(spoken(1)));
  const auto began = std::chrono::steady_clock::now();
  asio::post(looper.loop(), [session] { session->stop("asked"); });
  EXPECT_EQ(endStatus(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - began, 1s);
  const Kinds seen = kinds();
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "done"), 0);
}

TEST_F(ListenSessionTest, AFailedStartEndsWithItsStatus) {
  fakes.speechEngine->modelInstalled = false;
  auto session = make("mic");
  try {
    session->start();
    FAIL();
  } catch (...) {
    const auto error = std::current_exception();
    looper.run([&] { session->failed(error); });
  }
  EXPECT_EQ(endStatus(), 3);
  EXPECT_EQ(kinds(), (Kinds{"error", "done"}));
}

// The echo canceller: in mode "mic" the computer's sound is recorded for it alone and closed at the
// end; a canceller that can't be had is one "error" line, and the meeting goes on without it.
TEST_F(ListenSessionTest, TheEchoCancellerRunsOrTheMeetingGoesOnWithoutIt) {
  for (const bool unavailable : {false, true}) {
    SCOPED_TRACE(unavailable ? "unavailable" : "available");
    endings.clear();
    fakes.echoCancellers->unavailable = unavailable;
    const int opened = fakes.systemAudio->opened;
    FakeConsole out;
    LineWriter written{out};
    auto session = make("mic", std::nullopt, &written);
    session->start();
    looper.run([&] { session->stop("asked"); });
    EXPECT_EQ(endStatus(), 0);
    Kinds seen;
    for (const auto& event : eventsBesidesLevels(out.stdoutText())) seen.push_back(event["kind"]);
    const std::string log = logText();
    if (unavailable) {
      EXPECT_EQ(seen, (Kinds{"ready", "error", "listening", "stopped", "done"}));
      EXPECT_NE(out.stdoutText().find("so it may be transcribed as yours too: libspeexdsp"), std::string::npos);
      EXPECT_NE(log.find(" echo off: libspeexdsp"), std::string::npos) << log;
      EXPECT_EQ(fakes.systemAudio->opened, opened);
    } else {
      EXPECT_EQ(seen, (Kinds{"ready", "listening", "stopped", "done"}));
      EXPECT_NE(log.find(" echo on, its reference"), std::string::npos) << log;
      EXPECT_EQ(fakes.systemAudio->opened, opened + 1);
      EXPECT_EQ(fakes.systemAudio->closed, fakes.systemAudio->opened);
    }
    session.reset();
    endings.settle();
  }
}

TEST(MeetingIdentityTest, TheFirstLineNamesTheMeeting) {
  auto identity = meetingIdentity(R"({"id":"2024-05-01-093000","other":1})");
  ASSERT_TRUE(identity);
  EXPECT_EQ(identity->id, "2024-05-01-093000");
  EXPECT_FALSE(identity->pausedFrom);
  identity = meetingIdentity(R"({"id":"2024-05-01-093000","pausedFrom":"2024-05-01T09:45:00Z"})");
  ASSERT_TRUE(identity && identity->pausedFrom);
  EXPECT_EQ(*identity->pausedFrom, "2024-05-01T09:45:00Z");
  for (const char* bad :
       {"", "not json", "[1]", R"({"id":1})", R"({"id":"2024-05-01-09300a"})",
        R"({"id":"2024-0501-093000"})", R"({"id":"2024-05-01-0930001"})",
        R"({"id":"../2024-05-01-093000"})", R"({"id":"2024-05-01-093000","pausedFrom":null})",
        R"({"id":"2024-05-01-093000","pausedFrom":5})"}) {
    EXPECT_FALSE(meetingIdentity(bad)) << bad;
  }
}
