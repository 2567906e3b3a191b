#include "landing/lander/Lander.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/FakeClipboard.h"
#include "fakes/FakeLater.h"
#include "landing/lander/Pasteboard.h"

namespace {

constexpr std::chrono::duration<double> BACK{1.0};
const std::vector<ClipboardFlavor> USERS = {{"UTF8_STRING", "mine"}, {"image/png", "PNG"}};

struct Landing {
  FakeClipboard board;
  FakeLater later;
  bool paste = true;
  bool readable = true;
  bool typed = true;  // the keystroke went out
  std::vector<std::optional<long>> asked;
  std::vector<std::string> pastedTexts;  // the clipboard's text when the keys went out
  std::vector<std::string> outcomes;
  int finished = 0;
  Lander lander{Lander::Services{
      board, later, BACK,
      [this](std::optional<long> app) {
        asked.push_back(app);
        return paste;
      },
      [this] {
        pastedTexts.push_back(board.text());
        return typed;
      },
      [this] { return readable; },
      [this](std::string_view how) { outcomes.emplace_back(how); },
      [this] { ++finished; }}};

  Landing() { board.copyElsewhere(USERS); }
};

TEST(Lander, OutcomesOfOneLanding) {
  struct Row {
    const char* name;
    bool readable;
    bool paste;
    bool typed;
    bool hidden;  // the clipboard holds only what cannot be read
    std::string outcome;
    std::vector<ClipboardFlavor> after;  // the clipboard once all is done
  };
  const std::vector<Row> rows = {
      {"pasted and restored", true, true, true, false, "pasted", USERS},
      {"not to paste: left for the user", true, false, true, false, "copied",
       {{"UTF8_STRING", "words"}, {"STRING", "words"}}},
      {"keystroke refused: left for the user", true, true, false, false, "copied",
       {{"UTF8_STRING", "words"}, {"STRING", "words"}}},
      {"not to be read", false, true, true, false, "kept", USERS},
      {"cannot be put back", true, true, true, true, "kept", USERS},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Landing l;
    l.readable = row.readable;
    l.paste = row.paste;
    l.typed = row.typed;
    if (row.hidden) l.board.unreadable = {"UTF8_STRING", "image/png"};
    l.lander.land("words", 42);
    l.later.fire(BACK);
    EXPECT_EQ(l.outcomes, std::vector<std::string>{row.outcome});
    EXPECT_EQ(l.board.flavors, row.after);
    const bool keysSent = row.outcome == "pasted" || !row.typed;
    EXPECT_EQ(l.pastedTexts, keysSent ? std::vector<std::string>{"words"}
                                      : std::vector<std::string>{});
  }
}

TEST(Lander, ThePasteIsMarkedAndReportedOnlyAfterTheRestore) {
  Landing l;
  l.lander.land("words", 42);
  EXPECT_TRUE(l.board.marked());
  EXPECT_EQ(l.asked, std::vector<std::optional<long>>{42});
  EXPECT_TRUE(l.outcomes.empty());
  ASSERT_EQ(l.later.pending.size(), 1u);
  EXPECT_EQ(l.later.pending[0].delay, BACK);
  l.later.fire();
  EXPECT_EQ(l.outcomes, std::vector<std::string>{"pasted"});
}

TEST(Lander, ANewerCopyIsNotOverwritten) {
  Landing l;
  l.lander.land("words", 42);
  l.board.copyElsewhere({{"UTF8_STRING", "newer"}});
  l.later.fire();
  EXPECT_EQ(l.board.text(), "newer");
  EXPECT_EQ(l.outcomes, std::vector<std::string>{"pasted"});
}

TEST(Lander, AnEmptyClipboardComesBackEmpty) {
  Landing l;
  l.board.clear();
  l.lander.land("words", 42);
  l.later.fire();
  EXPECT_FALSE(l.board.hasContents());
  EXPECT_EQ(l.outcomes, std::vector<std::string>{"pasted"});
}

TEST(Lander, LandingsWaitForThePasteInFlightAndGoInOrder) {
  Landing l;
  l.lander.land("one", 1);
  l.lander.land("two", 2);
  l.lander.land("three", 3);
  EXPECT_EQ(l.pastedTexts, std::vector<std::string>{"one"});
  l.later.fire();
  EXPECT_EQ(l.pastedTexts, (std::vector<std::string>{"one", "two"}));
  // Each paste saved what the previous restore put back: the user's contents.
  l.later.fire();
  l.later.fire();
  EXPECT_EQ(l.pastedTexts, (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_EQ(l.outcomes, (std::vector<std::string>{"pasted", "pasted", "pasted"}));
  EXPECT_EQ(l.board.flavors, USERS);
}

TEST(Lander, LeavingFinishesOnceNothingIsLeft) {
  Landing idle;
  idle.lander.leave();
  EXPECT_EQ(idle.finished, 1);

  Landing busy;
  busy.lander.land("one", 1);
  busy.lander.land("two", 2);
  busy.lander.leave();
  EXPECT_EQ(busy.finished, 0);
  busy.later.fire();
  EXPECT_EQ(busy.finished, 0);
  busy.later.fire();
  EXPECT_EQ(busy.finished, 1);
  EXPECT_EQ(busy.outcomes.size(), 2u);
}

TEST(Pasteboard, SnapshotKeepsWhatCanBeReadInOrder) {
  FakeClipboard board;
  EXPECT_TRUE(snapshot(board).empty());
  EXPECT_FALSE(hidesItsItems(board, {}));
  board.copyElsewhere({{"a", "1"}, {"b", "2"}, {"c", "3"}});
  board.unreadable = {"b"};
  const auto saved = snapshot(board);
  EXPECT_EQ(saved, (SavedClipboard{{"a", "1"}, {"c", "3"}}));
  EXPECT_FALSE(hidesItsItems(board, saved));
  board.unreadable = {"a", "b", "c"};
  EXPECT_TRUE(hidesItsItems(board, snapshot(board)));
  // Restoring always clears, and writes only what there is.
  board.calls.clear();
  restore({}, board);
  EXPECT_EQ(board.calls, std::vector<std::string>{"clear"});
  restore(saved, board);
  EXPECT_EQ(board.flavors, saved);
}

}  // namespace
