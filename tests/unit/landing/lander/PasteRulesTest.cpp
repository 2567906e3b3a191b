// The paste decision, the paste keystroke and the focus rules it rests on.
#include <gtest/gtest.h>

#include "landing/focus/FocusRules.h"
#include "landing/lander/PasteDecision.h"
#include "landing/lander/PasteKeystroke.h"

namespace {

const std::string FILES = FILE_MANAGER_ID;

TEST(PasteDecision, AsksTrustAndFocusOnlyWhenNeeded) {
  struct Row {
    const char* name;
    std::optional<long> into, front;
    std::optional<std::string> frontId;
    bool trusted;
    Focus focus;
    bool paste;
    int trustQuestions, focusQuestions;
  };
  const std::vector<Row> rows = {
      {"same app, text field", 7, 7, "Zenity", true, Focus::element("text"), true, 1, 1},
      {"no app given", std::nullopt, 7, "Zenity", true, Focus::element("text"), false, 0, 0},
      {"nothing in front", 7, std::nullopt, std::nullopt, true, Focus::element("text"), false, 0, 0},
      {"another app in front", 7, 8, "Zenity", true, Focus::element("text"), false, 0, 0},
      {"not trusted", 7, 7, "Zenity", false, Focus::element("text"), false, 1, 0},
      {"password field", 7, 7, "Zenity", true, Focus::element("password text"), false, 1, 1},
      {"unknown focus elsewhere", 7, 7, "Zenity", true, Focus::unknown(), true, 1, 1},
      {"file manager, nothing focused", 7, 7, FILES, true, Focus::nothing(), false, 1, 1},
      {"file manager, file list", 7, 7, FILES, true, Focus::element("table"), false, 1, 1},
      {"file manager, search entry", 7, 7, FILES, true, Focus::element("entry"), true, 1, 1},
      {"file manager, unknown focus", 7, 7, FILES, true, Focus::unknown(), true, 1, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    int trustQuestions = 0, focusQuestions = 0;
    bool paste = shouldPaste(
        row.into, row.front, row.frontId,
        [&] {
          ++trustQuestions;
          return row.trusted;
        },
        [&] {
          ++focusQuestions;
          return row.focus;
        });
    EXPECT_EQ(paste, row.paste);
    EXPECT_EQ(trustQuestions, row.trustQuestions);
    EXPECT_EQ(focusQuestions, row.focusQuestions);
  }
}

TEST(FocusRules, TextBoxesAndPasswordFields) {
  for (const char* role : {"text", "entry", "password text", "combo box", "terminal",
                           "document text"}) {
    EXPECT_TRUE(isTextBox(Focus::element(role))) << role;
  }
  EXPECT_TRUE(isTextBox(Focus::element("paragraph", true)));
  EXPECT_FALSE(isTextBox(Focus::element("paragraph", false)));
  EXPECT_FALSE(isTextBox(Focus::element("push button")));
  EXPECT_TRUE(isPasswordBox(Focus::element("password text")));
  EXPECT_FALSE(isPasswordBox(Focus::element("text")));
  EXPECT_FALSE(isPasswordBox(Focus::unknown()));
  // Only the file manager is ever certainly without a text box.
  EXPECT_FALSE(certainlyNoTextBox(std::nullopt, Focus::nothing()));
  EXPECT_FALSE(certainlyNoTextBox("Zenity", Focus::nothing()));
  EXPECT_TRUE(certainlyNoTextBox(FILES, Focus::nothing()));
  EXPECT_FALSE(certainlyNoTextBox(FILES, Focus::element("password text")));
}

TEST(PasteKeystroke, FindsTheKeyTypingVAndBuildsTheSteps) {
  PasteKeys keys{37, 50, 55, {}};
  EXPECT_EQ(pasteKeyCode(keys), 55u);  // no layout: the V position
  keys.typed.resize(80);
  keys.typed[55] = U'x';
  keys.typed[60] = U'v';
  keys.typed[70] = U'v';
  EXPECT_EQ(pasteKeyCode(keys), 60u);  // the lowest code typing "v"
  EXPECT_EQ(pasteSteps(keys, 60, false),
            (std::vector<KeyStep>{{37, true}, {60, true}, {60, false}, {37, false}}));
  EXPECT_EQ(pasteSteps(keys, 60, true),
            (std::vector<KeyStep>{{37, true}, {50, true}, {60, true}, {60, false}, {50, false},
                                  {37, false}}));
}

}  // namespace
