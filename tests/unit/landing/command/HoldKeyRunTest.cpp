#include "landing/command/HoldKeyRun.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "fakes/FakeConsole.h"
#include "fakes/FakeLater.h"
#include "fakes/FakePlatform.h"
#include "base/LineWriter.h"
#include "base/RunLog.h"
#include "base/Timings.h"
#include "support/Files.h"
#include "support/Scratch.h"

namespace {

using Type = InputEvent::Type;
constexpr long ZENITY = 4242;

struct HoldRun {
  Scratch scratch;
  FakeConsole console;
  FakePlatform fakes;
  FakeLater later;
  Timings timings;
  LineWriter lines{console};
  RunLog log{scratch.root() / "landing.log", console};
  bool trusted = true;
  std::optional<bool> mayType;  // unset: the run is given no separate answer
  int finished = 0;
  std::unique_ptr<HoldKeyRun> run;

  explicit HoldRun(std::optional<HeldKey> key = HeldKey(HeldKey::Which::Control)) {
    AppWindow zenity;
    zenity.pid = ZENITY;
    zenity.wmClass = "Zenity";
    fakes.windowList->active = zenity;
    run = std::make_unique<HoldKeyRun>(
        HoldKeyRun::Services{fakes.platform, lines, log, later, timings,
                             [this] { return trusted; }, [this] { ++finished; },
                             [this] { return mayType.value_or(trusted); }},
        key);
  }

  void hold() {
    run->see({Type::FlagsChanged, 37, true, KeyName::ControlLeft, ModifierBit::CONTROL});
    later.fire(timings.holdDelay);
  }
  void release() { run->see({Type::FlagsChanged, 37, false, KeyName::ControlLeft, 0}); }
  void escape() { run->see({Type::KeyDown, 9, true, KeyName::Escape, 0}); }
  std::string out() const { return console.stdoutText(); }
  std::string logText() const { return fileText(scratch.root() / "landing.log"); }
};

TEST(HoldKeyRun, AHoldIsReportedWithTheFrontAppAndTrust) {
  HoldRun r;
  r.hold();
  r.release();
  EXPECT_EQ(r.out(), "{\"kind\":\"hold-down\",\"app\":4242,\"trusted\":true}\n{\"kind\":\"hold-up\"}\n");
  EXPECT_EQ(r.fakes.focusReader->askedPids, std::vector<long>{ZENITY});
  EXPECT_EQ(r.fakes.focusReader->lastLimit, r.timings.askApp);
}

TEST(HoldKeyRun, APasswordFieldRefusesTheHold) {
  HoldRun r;
  r.fakes.focusReader->focus = Focus::element("password text");
  r.hold();
  r.release();
  EXPECT_EQ(r.out(), "{\"kind\":\"hold-refused\"}\n");
}

TEST(HoldKeyRun, EscapeAndStrayKeys) {
  HoldRun r;
  r.escape();
  r.hold();
  r.run->see({Type::KeyDown, 38, true, KeyName::Other, ModifierBit::CONTROL});
  r.release();
  r.hold();
  r.escape();
  EXPECT_EQ(r.out(),
            "{\"kind\":\"esc\"}\n"
            "{\"kind\":\"hold-down\",\"app\":4242,\"trusted\":true}\n{\"kind\":\"hold-stray\"}\n"
            "{\"kind\":\"hold-down\",\"app\":4242,\"trusted\":true}\n{\"kind\":\"hold-cancel\"}\n");

  HoldRun none(std::nullopt);
  none.hold();
  none.escape();
  EXPECT_EQ(none.out(), "{\"kind\":\"esc\"}\n");
}

TEST(HoldKeyRun, RequestsOfStandardInput) {
  struct Row {
    std::string line;
    std::string out;
    std::string clipboard;
  };
  const std::vector<Row> rows = {
      {R"({"land":"hi","app":4242})", "", "hi"},  // in flight until the restore
      {R"({"land":"hi"})", "{\"kind\":\"landed\",\"how\":\"copied\"}\n", "hi"},
      {R"({"land":"hi","app":"4242"})", "{\"kind\":\"landed\",\"how\":\"copied\"}\n", "hi"},
      {R"({"land":"hi","app":77})", "{\"kind\":\"landed\",\"how\":\"copied\"}\n", "hi"},
      {R"({"copy":"kept text"})", "", "kept text"},
      {R"({"front":null})", "{\"kind\":\"front\",\"app\":4242}\n", "user's"},
      {R"({"land":5,"copy":"c"})", "", "c"},
      {R"(["land","hi"])", "", "user's"},
      {"not json", "", "user's"},
      {"{\"land\":\"\xff\"}", "", "user's"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    HoldRun r;
    r.fakes.clipboard->copyElsewhere({{"UTF8_STRING", "user's"}});
    r.run->request(row.line);
    EXPECT_EQ(r.out(), row.out);
    EXPECT_EQ(r.fakes.clipboard->text(), row.clipboard);
  }
}

TEST(HoldKeyRun, APasteIsTheKeystrokeTheWatcherIgnores) {
  HoldRun r;
  r.fakes.clipboard->copyElsewhere({{"UTF8_STRING", "user's"}});
  r.hold();
  r.release();
  r.run->request(R"({"land":"hello","app":4242})");
  ASSERT_EQ(r.fakes.syntheticInput->posted.size(), 1u);
  const auto& steps = r.fakes.syntheticInput->posted[0];
  EXPECT_EQ(steps, (std::vector<KeyStep>{{37, true}, {55, true}, {55, false}, {37, false}}));
  for (const auto& step : steps) {
    r.run->see({step.code == 37 ? Type::FlagsChanged : (step.down ? Type::KeyDown : Type::KeyUp),
                step.code, step.down, step.code == 37 ? KeyName::ControlLeft : KeyName::Other,
                step.down && step.code == 37 ? ModifierBit::CONTROL : 0u});
  }
  r.later.fire(r.timings.clipboardBack);
  EXPECT_EQ(r.fakes.clipboard->text(), "user's");
  EXPECT_EQ(r.out(),
            "{\"kind\":\"hold-down\",\"app\":4242,\"trusted\":true}\n{\"kind\":\"hold-up\"}\n"
            "{\"kind\":\"landed\",\"how\":\"pasted\"}\n");
  EXPECT_NE(r.logText().find(" landed pasted {\"app\":\"Zenity\"}\n"), std::string::npos);

  // In a terminal the paste is Control+Shift+V.
  r.fakes.focusReader->focus = Focus::element("terminal");
  r.run->request(R"({"land":"ls","app":4242})");
  EXPECT_EQ(r.fakes.syntheticInput->posted.back().size(), 6u);
}

TEST(HoldKeyRun, PastingNeedsTypingAndAReachableClipboardNotTheHoldKey) {
  struct Row {
    bool trusted;
    std::optional<bool> mayType;
    bool clipboard;
    const char* how;
  };
  const Row rows[] = {
      {false, true, true, "pasted"},  // keyboard devices unreadable, typing works
      {true, false, true, "copied"},  // the hold key is seen, typing does not reach apps
      {false, std::nullopt, true, "copied"},
      {true, true, false, "kept"},  // no clipboard reachable: nothing is touched
  };
  for (const auto& row : rows) {
    HoldRun r;
    r.trusted = row.trusted;
    r.mayType = row.mayType;
    r.fakes.clipboard->reachable = row.clipboard;
    r.run->request(R"({"land":"hello","app":4242})");
    r.later.fire(r.timings.clipboardBack);
    EXPECT_EQ(r.out(), std::string("{\"kind\":\"landed\",\"how\":\"") + row.how + "\"}\n")
        << row.trusted << row.clipboard;
  }
}

TEST(HoldKeyRun, TheLandingLogNamesTheFrontApp) {
  HoldRun r;
  r.fakes.processes->desktopEntries[ZENITY] = "org.example.Editor";
  r.run->request(R"({"land":"a"})");
  r.fakes.windowList->active.reset();
  r.run->request(R"({"land":"b"})");
  const std::string text = r.logText();
  EXPECT_NE(text.find(" landed copied {\"app\":\"org.example.Editor\"}\n"), std::string::npos);
  EXPECT_NE(text.find(" landed copied {\"app\":\"unknown\"}\n"), std::string::npos);
}

TEST(HoldKeyRun, TrustLossIsReportedOncePerLoss) {
  HoldRun r;
  for (bool seen : {true, false, false, true, false}) r.run->accessSeen(seen);
  EXPECT_EQ(r.out(), "{\"kind\":\"access-lost\"}\n{\"kind\":\"access-lost\"}\n");
}

TEST(HoldKeyRun, LeavingWaitsForTheLandingInFlight) {
  HoldRun r;
  r.run->request(R"({"land":"a","app":4242})");
  r.run->leave();
  EXPECT_EQ(r.finished, 0);
  r.later.fire(r.timings.clipboardBack);
  EXPECT_EQ(r.finished, 1);
  // What the bridge owns is handed to a clipboard manager before the end.
  EXPECT_EQ(r.fakes.clipboard->calls.back(), "keep");
}

}  // namespace
