#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "fakes/FakeConsole.h"
#include "fakes/FakePlatform.h"
#include "base/LineWriter.h"
#include "listening/engine/ListenFailure.h"
#include "listening/engine/LiveTranscriber.h"
#include "listening/engine/NeedsDownload.h"
#include "support/Pcm.h"

namespace {

using Result = std::pair<std::string, bool>;

class LiveTranscriberTest : public ::testing::Test {
 protected:
  std::shared_ptr<LiveTranscriber> make(const std::string& locale = "en_US") {
    return LiveTranscriber::make(*fakes.speechEngine, *fakes.audioConverters, lines, locale);
  }
  void start(LiveTranscriber& transcriber) {
    transcriber.start([this](const std::string& text, bool isFinal) {
      std::lock_guard guard(mutex);
      results.emplace_back(text, isFinal);
    });
  }
  std::vector<Result> heard() {
    std::lock_guard guard(mutex);
    return results;
  }

  FakePlatform fakes;
  FakeConsole console;
  LineWriter lines{console};
  std::mutex mutex;
  std::vector<Result> results;
};

}  // namespace

TEST_F(LiveTranscriberTest, ALanguageWithoutAModelIsNotAvailable) {
  try {
    make("de_DE");
    FAIL() << "no failure";
  } catch (const ListenFailure& failure) {
    EXPECT_STREQ(failure.what(), "Speech isn\u2019t available for de_DE on this Mac");
  }
}

TEST_F(LiveTranscriberTest, AMissingModelIsReportedThenNeedsDownload) {
  fakes.speechEngine->modelInstalled = false;
  std::vector<bool> told;
  try {
    LiveTranscriber::make(*fakes.speechEngine, *fakes.audioConverters, lines, "en_GB",
                          [&](bool installed) { told.push_back(installed); });
    FAIL() << "no failure";
  } catch (const NeedsDownload& missing) {
    EXPECT_STREQ(missing.what(),
                 "The speech model isn\u2019t on this Mac and couldn\u2019t be fetched: install the "
                 "package pocketsphinx-en-us");
  }
  EXPECT_EQ(told, std::vector<bool>{false});
  EXPECT_EQ(fakes.speechEngine->loads, 0);
  EXPECT_EQ(console.stdoutText(), "");

  fakes.speechEngine->modelInstalled = true;
  LiveTranscriber::make(*fakes.speechEngine, *fakes.audioConverters, lines, "en_US",
                        [&](bool installed) { told.push_back(installed); });
  EXPECT_EQ(told, (std::vector<bool>{false, true}));
}

TEST_F(LiveTranscriberTest, StartOnlyOnceAndNeverAfterFinish) {
  auto transcriber = make();
  start(*transcriber);
  EXPECT_THROW(
      {
        try {
          start(*transcriber);
        } catch (const ListenFailure& failure) {
          EXPECT_STREQ(failure.what(), "The transcriber is already running");
          throw;
        }
      },
      ListenFailure);
  transcriber->finish();
  transcriber->finish();  // a second finish returns at once

  auto unstarted = make();
  unstarted->finish();
  try {
    start(*unstarted);
    FAIL() << "started after finish";
  } catch (const ListenFailure& failure) {
    EXPECT_STREQ(failure.what(), "The transcriber has already finished");
  }
}

TEST_F(LiveTranscriberTest, PartialsFollowTheHypothesisAndSilenceClosesTheUtterance) {
  auto transcriber = make();
  start(*transcriber);
  transcriber->feed(spoken(1));
  transcriber->feed(spoken(2));
  transcriber->feed(spoken(0));
  transcriber->feed(spoken(3));
  transcriber->finish();
  EXPECT_EQ(heard(), (std::vector<Result>{{"hello", false},
                                           {"hello world", false},
                                           {"hello world", true},
                                           {"again", false},
                                           {"again", true}}));
}

// The sound of a hold start waits in the queue while the model loads; after finish() nothing
// is taken.
TEST_F(LiveTranscriberTest, BuffersBeforeStartWaitAndAfterFinishAreDropped) {
  auto transcriber = LiveTranscriber::waiting(*fakes.speechEngine, *fakes.audioConverters, lines);
  transcriber->feed(spoken(1));
  EXPECT_EQ(fakes.speechEngine->loads, 0);
  EXPECT_THROW(start(*transcriber), ListenFailure);  // no model yet
  transcriber->load("en_US");
  start(*transcriber);
  transcriber->feed(spoken(0));
  transcriber->finish();
  transcriber->feed(spoken(2));
  EXPECT_EQ(heard(), (std::vector<Result>{{"hello", false}, {"hello", true}}));
  EXPECT_EQ(fakes.speechEngine->lastDecoder->processed, 2);
}

TEST_F(LiveTranscriberTest, OneConverterPerInputFormat) {
  auto transcriber = make();
  start(*transcriber);
  auto loud = std::vector<float>(4800, 1.0f / 32768.0f);  // word code 1 after conversion
  transcriber->feed(floats(48000, 1, loud));
  transcriber->feed(floats(48000, 1, loud));
  transcriber->feed(floats(44100, 1, std::vector<float>(4410, 0.0f)));
  transcriber->finish();
  EXPECT_EQ(fakes.audioConverters->made, 2);
  EXPECT_EQ(heard(), (std::vector<Result>{{"hello", false}, {"hello", true}}));
}

TEST_F(LiveTranscriberTest, WhatTheConverterHoldsBackReachesTheDecoderAtTheEndOrBeforeTheNextFormat) {
  fakes.audioConverters->heldBack = 1600;
  auto transcriber = make();
  start(*transcriber);
  transcriber->feed(floats(48000, 1, std::vector<float>(4800, 2.0f / 32768.0f)));
  transcriber->finish();
  EXPECT_EQ(heard(), (std::vector<Result>{{"world", false}, {"world", true}}));

  // Sound already in the recogniser's format comes after the tail of what came before it.
  results.clear();
  auto second = make();
  start(*second);
  second->feed(floats(48000, 1, std::vector<float>(4800, 2.0f / 32768.0f)));
  second->feed(spoken(1));
  second->finish();
  EXPECT_EQ(heard(), (std::vector<Result>{{"world", false}, {"world hello", false}, {"world hello", true}}));
}

TEST_F(LiveTranscriberTest, ManyChannelsAreReducedToTheFirstButTwoAreLeftToTheConverter) {
  auto transcriber = make();
  start(*transcriber);
  transcriber->feed(floats(48000, 2, std::vector<float>(96, 0.0f)));
  transcriber->finish();
  EXPECT_EQ(fakes.audioConverters->lastFrom.channels, 2u);

  auto second = make();
  start(*second);
  second->feed(floats(48000, 4, std::vector<float>(192, 0.0f)));
  second->finish();
  EXPECT_EQ(fakes.audioConverters->lastFrom, (PcmFormat{48000, 1, SampleFormat::Float32, false}));
}

TEST_F(LiveTranscriberTest, AMissingConverterIsReportedOncePerFormat) {
  fakes.audioConverters->refuse = true;
  auto transcriber = make();
  start(*transcriber);
  transcriber->feed(floats(48000, 2, std::vector<float>(96, 0.0f)));
  transcriber->feed(floats(48000, 2, std::vector<float>(96, 0.0f)));
  transcriber->finish();
  EXPECT_EQ(console.stdoutText(),
            "{\"kind\":\"error\",\"message\":\"No audio converter from 48000 Hz, 2 ch to 16000 "
            "Hz, 1 ch\"}\n");
}

TEST_F(LiveTranscriberTest, ADecoderFailureEndsTheResultsWithAnErrorLine) {
  fakes.speechEngine->decoderFailAfter = 1;
  auto transcriber = make();
  start(*transcriber);
  transcriber->feed(spoken(1));
  transcriber->feed(spoken(2));
  transcriber->finish();
  // The phrase already shown still ends as final.
  EXPECT_EQ(heard(), (std::vector<Result>{{"hello", false}, {"hello", true}}));
  EXPECT_EQ(console.stdoutText(),
            "{\"kind\":\"error\",\"message\":\"Speech results ended: decoder broke\"}\n");
}

// A decoder that can't keep up is cut short by the drain, but the phrase it already showed
// still ends as final, and nothing comes after finish().
TEST_F(LiveTranscriberTest, ASlowDecoderIsCutShortButItsShownPhraseSettles) {
  fakes.speechEngine->decoderDelay = std::chrono::milliseconds(50);
  auto transcriber = make();
  start(*transcriber);
  for (int i = 0; i < 40; ++i) transcriber->feed(spoken(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  const auto began = std::chrono::steady_clock::now();
  transcriber->finish(0.1);
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(1000));
  EXPECT_LT(fakes.speechEngine->lastDecoder->processed, 40);
  const auto settled = heard();
  EXPECT_EQ(settled, (std::vector<Result>{{"hello", false}, {"hello", true}}));
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(heard(), settled);
}

TEST(SpeechLocale, ComesFromTheLocaleSettings) {
  const auto keep = [](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  };
  auto all = keep("LC_ALL"), messages = keep("LC_MESSAGES"), lang = keep("LANG");
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  unsetenv("LANG");
  EXPECT_EQ(speechLocaleIdentifier(), "en_US");
  setenv("LANG", "de_DE.UTF-8", 1);
  EXPECT_EQ(speechLocaleIdentifier(), "de_DE");
  setenv("LC_MESSAGES", "fr_FR@euro", 1);
  EXPECT_EQ(speechLocaleIdentifier(), "fr_FR");
  setenv("LC_ALL", "C.UTF-8", 1);
  EXPECT_EQ(speechLocaleIdentifier(), "en_US");
  setenv("LC_ALL", "POSIX", 1);
  EXPECT_EQ(speechLocaleIdentifier(), "en_US");
  for (auto [name, value] : {std::pair{"LC_ALL", all}, {"LC_MESSAGES", messages}, {"LANG", lang}}) {
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
}
