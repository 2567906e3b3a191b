#include <gtest/gtest.h>

#include <string>

#include "listening/engine/WrittenText.h"

namespace {

enum class Heard { MeetingLine, DictatedLine, DictatedPartial };

struct Row {
  const char* heard;
  Heard as;
  const char* written;
};

std::string writtenOf(const Row& row) {
  const auto marks = row.as == Heard::MeetingLine ? WrittenText::SpokenMarks::StayWords
                                                  : WrittenText::SpokenMarks::BecomeMarks;
  return WrittenText::of(row.heard, row.as != Heard::DictatedPartial, marks);
}

constexpr auto M = Heard::MeetingLine;
constexpr auto D = Heard::DictatedLine;
constexpr auto P = Heard::DictatedPartial;

const Row ROWS[] = {
    // Capitals: the phrase, "I" and its forms, days, months; "may" and "march" only as dates.
    {"thanks for the notes", M, "Thanks for the notes."},
    {"i think i'll go on monday in march", M, "I think I'll go on Monday in March."},
    {"we may march on fridays until may", M, "We may march on Fridays until May."},
    {"see you march third or may twenty first", M, "See you March third or May 21st."},
    {"the one i like", M, "The one I like."},
    {"ask NASA about iOS", M, "Ask NASA about iOS."},
    {"", M, ""},
    // Whole numbers from ten up; zero to nine stay words, and so does a run that starts with one.
    {"we need twenty five chairs", M, "We need 25 chairs."},
    {"three chairs", M, "Three chairs."},
    {"one hundred and five", M, "105."},
    {"two thousand twenty six", M, "2026."},
    {"in twenty twenty six and nineteen oh five", M, "In 2026 and 1905."},
    {"a hundred people and twenty five thousand dollars", M, "100 people and $25,000."},
    {"the code is two three four", M, "The code is two three four."},
    {"wait a second", M, "Wait a second."},
    {"count to ten", M, "Count to 10."},
    // Decimals, percentages, money.
    {"three point five", M, "3.5."},
    {"fifteen percent and five percent", M, "15% and 5%."},
    {"twenty dollars and five dollars and fifty cents", M, "$20 and $5.50."},
    // Clock times.
    {"at four thirty", M, "At 4:30."},
    {"ten fifteen p m", M, "10:15 PM."},
    {"ten fifteen p. m.", M, "10:15 PM."},
    {"seven a m or seven pm", M, "7 AM or 7 PM."},
    {"ten o'clock", M, "10 o'clock."},
    {"four o'clock", M, "4 o'clock."},
    {"leave at nine oh five in the morning", M, "Leave at 9:05 in the morning."},
    {"at four people came", M, "At four people came."},
    // Ordinals from tenth up.
    {"the twenty first", M, "The 21st."},
    {"the third and the tenth", M, "The third and the 10th."},
    // End marks: a question, a partial.
    {"what time does the train leave", M, "What time does the train leave?"},
    {"how's it going", M, "How's it going?"},
    {"when i get home i'll call you", M, "When I get home I'll call you."},
    {"can you hear me", M, "Can you hear me?"},
    {"does the train stop here", M, "Does the train stop here?"},
    {"do you have the file", M, "Do you have the file?"},
    {"do the dishes", M, "Do the dishes."},
    {"have a nice day", M, "Have a nice day."},
    {"could be worse", M, "Could be worse."},
    {"what time does the train leave", P, "What time does the train leave"},
    // Spoken marks: marks in dictation, words in a meeting.
    {"thanks comma see you monday period new line best", D, "Thanks, see you Monday.\nBest"},
    {"thanks comma see you monday period new line best", M, "Thanks comma see you Monday period new line best."},
    {"hello comma world", D, "Hello, world."},
    {"is it done question mark yes exclamation point", D, "Is it done? Yes!"},
    {"dear sam colon new paragraph the total is ten", D, "Dear sam:\n\nThe total is 10."},
    {"period new paragraph thanks", D, ".\n\nThanks"},
    {"comma and then", D, ", and then."},
    {"new line", D, "\n"},
    {"full stop", D, "."},
    {"send it period", P, "Send it."},
};

TEST(WrittenText, WritesEachRuleAndItsEdges) {
  for (const auto& row : ROWS) EXPECT_EQ(writtenOf(row), row.written) << "heard: " << row.heard;
}

}  // namespace
