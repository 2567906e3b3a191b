#pragma once

#include <string>
#include <string_view>

// Turns the recogniser's words ("i think we need twenty five chairs") into written text ("I think
// we need 25 chairs."): a capital at the start of the phrase and of each dictated sentence; "I",
// the days and the months with capitals; whole numbers from ten up, decimals, percentages, money,
// clock times and ordinals from tenth up in figures; and, on a finished phrase, an end mark ("?"
// when it opens with a question word or an inverted auxiliary). In dictation, spoken punctuation
// ("comma", "new line") becomes marks. A word it does not know passes through unchanged.
//
// Pure code over strings, called on whichever thread delivers a result; it keeps no state.
class WrittenText {
 public:
  // Whether "comma", "period", "new line" and the other spoken marks are written as marks: in
  // dictation they are, in a meeting they stay words.
  enum class SpokenMarks { StayWords, BecomeMarks };

  // The written form of one phrase. A finished phrase ends with a mark; a partial one gets none.
  static std::string of(std::string_view words, bool finished, SpokenMarks marks);
};
