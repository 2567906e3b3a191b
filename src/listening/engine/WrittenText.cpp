#include "listening/engine/WrittenText.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <vector>

namespace {

using Value = std::uint64_t;

// One word as the recogniser wrote it, and its lowercase form for matching.
struct Word {
  std::string_view heard;
  std::string lower;
};
using Words = std::vector<Word>;

// One piece of the written phrase. A word keeps the index of the heard word it came from.
struct Piece {
  enum class Kind { Word, Figure, Mark, Break };
  Kind kind;
  std::string text;
  std::size_t from = 0;
};

bool among(std::initializer_list<std::string_view> set, std::string_view word) {
  return std::find(set.begin(), set.end(), word) != set.end();
}

template <std::size_t N>
bool among(const std::string_view (&set)[N], std::string_view word) {
  return std::find(std::begin(set), std::end(set), word) != std::end(set);
}

std::string_view lowerAt(const Words& words, std::size_t at) {
  return at < words.size() ? std::string_view(words[at].lower) : std::string_view();
}

void capitalise(std::string& text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
}

// ---- Numbers

enum class Rank { Unit, Teen, Tens, Hundred, Scale };

struct NumberWord {
  std::string_view word;
  Value value;
  Rank rank;
  bool ordinal;
};

constexpr NumberWord NUMBER_WORDS[] = {
    {"zero", 0, Rank::Unit, false},
    {"one", 1, Rank::Unit, false},
    {"two", 2, Rank::Unit, false},
    {"three", 3, Rank::Unit, false},
    {"four", 4, Rank::Unit, false},
    {"five", 5, Rank::Unit, false},
    {"six", 6, Rank::Unit, false},
    {"seven", 7, Rank::Unit, false},
    {"eight", 8, Rank::Unit, false},
    {"nine", 9, Rank::Unit, false},
    {"ten", 10, Rank::Teen, false},
    {"eleven", 11, Rank::Teen, false},
    {"twelve", 12, Rank::Teen, false},
    {"thirteen", 13, Rank::Teen, false},
    {"fourteen", 14, Rank::Teen, false},
    {"fifteen", 15, Rank::Teen, false},
    {"sixteen", 16, Rank::Teen, false},
    {"seventeen", 17, Rank::Teen, false},
    {"eighteen", 18, Rank::Teen, false},
    {"nineteen", 19, Rank::Teen, false},
    {"twenty", 20, Rank::Tens, false},
    {"thirty", 30, Rank::Tens, false},
    {"forty", 40, Rank::Tens, false},
    {"fifty", 50, Rank::Tens, false},
    {"sixty", 60, Rank::Tens, false},
    {"seventy", 70, Rank::Tens, false},
    {"eighty", 80, Rank::Tens, false},
    {"ninety", 90, Rank::Tens, false},
    {"hundred", 100, Rank::Hundred, false},
    {"thousand", 1000, Rank::Scale, false},
    {"million", 1000000, Rank::Scale, false},
    {"billion", 1000000000, Rank::Scale, false},
    {"first", 1, Rank::Unit, true},
    {"second", 2, Rank::Unit, true},
    {"third", 3, Rank::Unit, true},
    {"fourth", 4, Rank::Unit, true},
    {"fifth", 5, Rank::Unit, true},
    {"sixth", 6, Rank::Unit, true},
    {"seventh", 7, Rank::Unit, true},
    {"eighth", 8, Rank::Unit, true},
    {"ninth", 9, Rank::Unit, true},
    {"tenth", 10, Rank::Teen, true},
    {"eleventh", 11, Rank::Teen, true},
    {"twelfth", 12, Rank::Teen, true},
    {"thirteenth", 13, Rank::Teen, true},
    {"fourteenth", 14, Rank::Teen, true},
    {"fifteenth", 15, Rank::Teen, true},
    {"sixteenth", 16, Rank::Teen, true},
    {"seventeenth", 17, Rank::Teen, true},
    {"eighteenth", 18, Rank::Teen, true},
    {"nineteenth", 19, Rank::Teen, true},
    {"twentieth", 20, Rank::Tens, true},
    {"thirtieth", 30, Rank::Tens, true},
    {"fortieth", 40, Rank::Tens, true},
    {"fiftieth", 50, Rank::Tens, true},
    {"sixtieth", 60, Rank::Tens, true},
    {"seventieth", 70, Rank::Tens, true},
    {"eightieth", 80, Rank::Tens, true},
    {"ninetieth", 90, Rank::Tens, true},
    {"hundredth", 100, Rank::Hundred, true},
    {"thousandth", 1000, Rank::Scale, true},
    {"millionth", 1000000, Rank::Scale, true},
    {"billionth", 1000000000, Rank::Scale, true},
};

const NumberWord* numberWord(std::string_view word) {
  for (const auto& entry : NUMBER_WORDS) {
    if (entry.word == word) return &entry;
  }
  return nullptr;
}

// A single digit, as said inside a decimal, a time or a year: "oh" and "o" are zero there.
std::optional<Value> digitAt(const Words& words, std::size_t at) {
  const std::string_view word = lowerAt(words, at);
  if (word == "oh" || word == "o") return 0;
  const NumberWord* found = numberWord(word);
  if (found && found->rank == Rank::Unit && !found->ordinal) return found->value;
  return std::nullopt;
}

// A run of number words: "twenty five", "one hundred and five", "two thousand twenty six",
// "a hundred", "twenty first". Two small numbers in a row ("two three") are two runs.
struct Number {
  Value value = 0;
  std::size_t end = 0;  // one past its last word
  bool ordinal = false;
  bool hundreds = false;  // holds "hundred" or a larger scale
};

std::optional<Number> readNumber(const Words& words, std::size_t at) {
  auto multiplierAt = [&](std::size_t i) {
    const NumberWord* found = numberWord(lowerAt(words, i));
    return found && (found->rank == Rank::Hundred || found->rank == Rank::Scale);
  };
  Number number;
  Value total = 0, group = 0, lastScale = UINT64_MAX;
  bool hundredInGroup = false;
  std::optional<Rank> last;
  std::size_t i = at;
  if (lowerAt(words, i) == "a" && multiplierAt(i + 1)) {
    group = 1;
    last = Rank::Unit;
    ++i;
  }
  while (i < words.size()) {
    if (words[i].lower == "and" && (last == Rank::Hundred || last == Rank::Scale)) {
      const NumberWord* next = numberWord(lowerAt(words, i + 1));
      if (!next || next->value == 0 || next->rank == Rank::Hundred || next->rank == Rank::Scale) break;
      ++i;
      continue;
    }
    const NumberWord* word = numberWord(words[i].lower);
    if (!word) break;
    bool fits = false;
    switch (word->rank) {
      case Rank::Unit:
        fits = word->value == 0 ? !last
                                : !last || last == Rank::Tens || last == Rank::Hundred || last == Rank::Scale;
        break;
      case Rank::Teen:
      case Rank::Tens:
        fits = !last || last == Rank::Hundred || last == Rank::Scale;
        break;
      case Rank::Hundred:
        fits = last && last != Rank::Hundred && last != Rank::Scale && !hundredInGroup && group > 0 &&
               group < 100;
        break;
      case Rank::Scale:
        fits = last && last != Rank::Scale && group > 0 && word->value < lastScale;
        break;
    }
    if (!fits) break;
    if (word->rank == Rank::Hundred) {
      group *= 100;
      hundredInGroup = number.hundreds = true;
    } else if (word->rank == Rank::Scale) {
      total += group * word->value;
      group = 0;
      hundredInGroup = false;
      lastScale = word->value;
      number.hundreds = true;
    } else {
      group += word->value;
    }
    last = word->rank;
    number.end = ++i;
    if (word->ordinal) {
      number.ordinal = true;
      break;
    }
    if (word->value == 0) break;
  }
  if (number.end == 0) return std::nullopt;
  number.value = total + group;
  return number;
}

// A number from ten up in figures; from 10,000 up with a comma between thousands.
std::string figures(Value value) {
  const std::string digits = std::to_string(value);
  if (value < 10000) return digits;
  std::string grouped;
  for (std::size_t at = 0; at < digits.size(); ++at) {
    if (at > 0 && (digits.size() - at) % 3 == 0) grouped += ',';
    grouped += digits[at];
  }
  return grouped;
}

std::string ordinalFigures(Value value) {
  const Value tens = value % 100, units = value % 10;
  const char* suffix = (tens >= 11 && tens <= 13) || units == 0 || units > 3 ? "th"
                       : units == 1                                          ? "st"
                       : units == 2                                          ? "nd"
                                                                             : "rd";
  return figures(value) + suffix;
}

std::string twoDigits(Value value) {
  return {static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
}

// The two digits after an hour or a century: "oh five" (5), or a number from ten to ninety-nine.
struct Pair {
  Value value;
  std::size_t end;
};

std::optional<Pair> readPair(const Words& words, std::size_t at) {
  const std::string_view word = lowerAt(words, at);
  if (word == "oh" || word == "o") {
    const auto digit = digitAt(words, at + 1);
    if (digit && *digit > 0) return Pair{*digit, at + 2};
    return std::nullopt;
  }
  const auto number = readNumber(words, at);
  if (number && !number->ordinal && !number->hundreds && number->value >= 10) {
    return Pair{number->value, number->end};
  }
  return std::nullopt;
}

// "a m", "a. m.", "a.m.", "am" and the same for "p": AM or PM and how many words they take.
std::optional<std::pair<std::string_view, std::size_t>> halfOfDayAt(const Words& words, std::size_t at) {
  const std::string_view word = lowerAt(words, at);
  if (word == "am" || word == "a.m.") return std::pair{std::string_view("AM"), std::size_t{1}};
  if (word == "pm" || word == "p.m.") return std::pair{std::string_view("PM"), std::size_t{1}};
  const std::string_view next = lowerAt(words, at + 1);
  if (next == "m" || next == "m.") {
    if (word == "a" || word == "a.") return std::pair{std::string_view("AM"), std::size_t{2}};
    if (word == "p" || word == "p.") return std::pair{std::string_view("PM"), std::size_t{2}};
  }
  return std::nullopt;
}

bool partOfDayAt(const Words& words, std::size_t at) {
  return lowerAt(words, at) == "in" && lowerAt(words, at + 1) == "the" &&
         among({"morning", "afternoon", "evening"}, lowerAt(words, at + 2));
}

// Whether a word that turns the number before it into a figure stands at `at`.
bool formAt(const Words& words, std::size_t at) {
  const std::string_view word = lowerAt(words, at);
  return among({"point", "percent", "dollars", "dollar", "o'clock"}, word) ||
         (word == "per" && lowerAt(words, at + 1) == "cent") || halfOfDayAt(words, at);
}

// Writes the number that starts at `at` with what follows it and belongs to it (minutes, a
// century's years, decimals, "percent", "dollars"); returns the index after what it took.
std::size_t writeNumber(const Words& words, std::size_t at, const Number& number, std::vector<Piece>& out) {
  auto figure = [&](std::string text, std::size_t end) {
    out.push_back({Piece::Kind::Figure, std::move(text), at});
    return end;
  };
  const Value value = number.value;
  // Clock times: "at four thirty", "ten fifteen p m", "seven in the morning", "ten o'clock".
  if (!number.ordinal && !number.hundreds && value <= 23) {
    auto minutes = readPair(words, number.end);
    if (minutes && minutes->value > 59) minutes.reset();
    const std::size_t after = minutes ? minutes->end : number.end;
    const auto half = halfOfDayAt(words, after);
    const bool twelveHour = value >= 1 && value <= 12;
    const bool afterAt = at > 0 && words[at - 1].lower == "at";
    const bool clockFollows = twelveHour && (half || partOfDayAt(words, after));
    const bool oclock = twelveHour && lowerAt(words, after) == "o'clock";
    if (minutes ? afterAt || clockFollows : clockFollows || oclock) {
      std::string time = std::to_string(value);
      if (minutes) time.append(":").append(twoDigits(minutes->value));
      if (!half || !twelveHour) return figure(std::move(time), after);
      time.append(" ").append(half->first);
      return figure(std::move(time), after + half->second);
    }
  }
  // Years said in two halves: "nineteen eighty four", "twenty twenty six", "twenty oh five".
  if (!number.ordinal && number.end == at + 1 && (value == 19 || value == 20)) {
    if (const auto years = readPair(words, number.end))
      return figure(std::to_string(value * 100 + years->value), years->end);
  }
  if (number.ordinal) {
    if (value < 10) return figure(std::string(words[at].heard), number.end);
    return figure(ordinalFigures(value), number.end);
  }
  std::string written = figures(value);
  std::size_t end = number.end;
  bool small = value < 10;
  if (lowerAt(words, end) == "point" && digitAt(words, end + 1)) {
    written += '.';
    for (++end; const auto digit = digitAt(words, end); ++end) written += static_cast<char>('0' + *digit);
    small = false;
  }
  if (lowerAt(words, end) == "percent") return figure(written + "%", end + 1);
  if (lowerAt(words, end) == "per" && lowerAt(words, end + 1) == "cent")
    return figure(written + "%", end + 2);
  if (lowerAt(words, end) == "dollars" || lowerAt(words, end) == "dollar") {
    std::string money = "$" + written;
    ++end;
    if (written.find('.') == std::string::npos && lowerAt(words, end) == "and") {
      const auto cents = readNumber(words, end + 1);
      if (cents && !cents->ordinal && cents->value >= 1 && cents->value <= 99 &&
          (lowerAt(words, cents->end) == "cents" || lowerAt(words, cents->end) == "cent")) {
        money += "." + twoDigits(cents->value);
        end = cents->end + 1;
      }
    }
    return figure(money, end);
  }
  if (!small) return figure(written, end);
  // A digit word followed by more numbers is a code ("two three four") or a time said without
  // "at" ("four thirty"): all of it stays words.
  for (auto next = readNumber(words, end); next && !next->ordinal && !formAt(words, next->end);
       next = readNumber(words, end)) {
    end = next->end;
  }
  for (std::size_t i = at; i < end; ++i) out.push_back({Piece::Kind::Figure, std::string(words[i].heard), i});
  return end;
}

// ---- Words

constexpr std::string_view DAYS[] = {"monday", "tuesday",  "wednesday", "thursday",
                                     "friday", "saturday", "sunday"};
constexpr std::string_view MONTHS[] = {"january", "february",  "april",   "june",     "july",
                                       "august",  "september", "october", "november", "december"};

// "may" and "march" are months where a date fits: after "in", "since", "of"... or before a day
// or a year ("march third", "may twenty first").
bool dateFits(const Words& words, std::size_t at) {
  if (at > 0 && among({"in", "since", "until", "till", "by", "of", "from", "through", "before", "after",
                       "during", "last", "next", "early", "late", "mid"},
                      words[at - 1].lower)) {
    return true;
  }
  const auto day = readNumber(words, at + 1);
  if (!day) return false;
  if (day->ordinal) return day->value >= 1 && day->value <= 31;
  return (day->value >= 10 && day->value <= 31) || (day->value >= 1000 && day->value < 3000);
}

std::string writtenWord(const Words& words, std::size_t at) {
  std::string text(words[at].heard);
  const std::string_view word = words[at].lower;
  std::string_view base = word;
  if (base.ends_with("'s")) {
    base.remove_suffix(2);
  } else if (base.ends_with('s')) {
    base.remove_suffix(1);
  }
  if (word == "i" || word.starts_with("i'") || among(DAYS, base) || among(MONTHS, base) ||
      ((word == "may" || word == "march") && dateFits(words, at))) {
    capitalise(text);
  }
  return text;
}

// ---- Marks

struct SpokenMark {
  std::string_view first, second, mark;
  Piece::Kind kind;
};

constexpr SpokenMark SPOKEN_MARKS[] = {
    {"comma", "", ",", Piece::Kind::Mark},
    {"period", "", ".", Piece::Kind::Mark},
    {"full", "stop", ".", Piece::Kind::Mark},
    {"question", "mark", "?", Piece::Kind::Mark},
    {"exclamation", "mark", "!", Piece::Kind::Mark},
    {"exclamation", "point", "!", Piece::Kind::Mark},
    {"colon", "", ":", Piece::Kind::Mark},
    {"semicolon", "", ";", Piece::Kind::Mark},
    {"semi", "colon", ";", Piece::Kind::Mark},
    {"new", "line", "\n", Piece::Kind::Break},
    {"new", "paragraph", "\n\n", Piece::Kind::Break},
};

const SpokenMark* spokenMarkAt(const Words& words, std::size_t at) {
  for (const auto& mark : SPOKEN_MARKS) {
    if (words[at].lower == mark.first && (mark.second.empty() || lowerAt(words, at + 1) == mark.second))
      return &mark;
  }
  return nullptr;
}

bool endsSentence(std::string_view mark) { return mark == "." || mark == "?" || mark == "!"; }

// Whether a phrase that opens with the word at `at` asks: a question word ("what", "how's") not
// before a pronoun, or an auxiliary before its subject ("does the train", "can you"). "do" and "have" open
// commands too ("do the dishes", "have a nice day"), so they ask only before a person.
bool asks(const Words& words, std::size_t at) {
  const std::string_view word = words[at].lower;
  constexpr std::string_view QUESTION_WORDS[] = {"what",  "when", "where", "who", "whom",
                                                 "whose", "why",  "which", "how"};
  constexpr std::string_view PERSONS[] = {"i",       "you",      "he",       "she",
                                          "we",      "they",     "anyone",   "anybody",
                                          "someone", "somebody", "everyone", "everybody"};
  const std::string_view next = lowerAt(words, at + 1);
  // Before a pronoun, a bare question word opens a clause ("when i get home", "what we need is");
  // "how's" and "what's" hold their auxiliary.
  const std::size_t apostrophe = word.find('\'');
  if (among(QUESTION_WORDS, word.substr(0, apostrophe))) {
    return apostrophe != std::string_view::npos || (!among(PERSONS, next) && next != "it");
  }
  if (among({"do", "don't", "have", "haven't", "had", "hadn't"}, word)) return among(PERSONS, next);
  if (!among({"is",       "isn't", "are",     "aren't", "am",       "was",    "wasn't",    "were",
              "weren't",  "does",  "doesn't", "did",    "didn't",   "can",    "can't",     "could",
              "couldn't", "will",  "won't",   "would",  "wouldn't", "should", "shouldn't", "shall",
              "may",      "might", "must",    "has",    "hasn't"},
             word)) {
    return false;
  }
  return among(PERSONS, next) ||
         among({"it",    "this", "that", "these",    "those",     "there",      "the",     "a",     "an",
                "my",    "your", "his",  "her",      "its",       "our",        "their",   "any",   "some",
                "every", "each", "all",  "anything", "something", "everything", "nothing", "nobody"},
               next);
}

}  // namespace

std::string WrittenText::of(std::string_view heard, bool finished, SpokenMarks marks) {
  Words words;
  for (std::size_t at = 0; at < heard.size();) {
    const std::size_t start = heard.find_first_not_of(" \t\r\n", at);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(heard.find_first_of(" \t\r\n", start), heard.size());
    Word word{heard.substr(start, end - start), std::string(heard.substr(start, end - start))};
    for (char& c : word.lower) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    words.push_back(std::move(word));
    at = end;
  }

  std::vector<Piece> pieces;
  for (std::size_t at = 0; at < words.size();) {
    if (marks == SpokenMarks::BecomeMarks) {
      if (const SpokenMark* mark = spokenMarkAt(words, at)) {
        pieces.push_back({mark->kind, std::string(mark->mark), at});
        at += mark->second.empty() ? 1 : 2;
        continue;
      }
    }
    if (const auto number = readNumber(words, at)) {
      at = writeNumber(words, at, *number, pieces);
      continue;
    }
    pieces.push_back({Piece::Kind::Word, writtenWord(words, at), at});
    ++at;
  }

  std::string out;
  bool capital = true, spokenEnd = false;
  std::optional<std::size_t> opening;
  for (auto& piece : pieces) {
    switch (piece.kind) {
      case Piece::Kind::Word:
      case Piece::Kind::Figure:
        if (!out.empty() && out.back() != '\n') out += ' ';
        if (capital) capitalise(piece.text);
        if (!opening) opening = piece.from;
        capital = false;
        break;
      case Piece::Kind::Mark:
        capital = endsSentence(piece.text);
        spokenEnd = spokenEnd || capital;
        break;
      case Piece::Kind::Break:
        capital = true;
        break;
    }
    out += piece.text;
  }
  const bool endsInWords = !pieces.empty() && (pieces.back().kind == Piece::Kind::Word ||
                                               pieces.back().kind == Piece::Kind::Figure);
  if (finished && !spokenEnd && endsInWords) out += opening && asks(words, *opening) ? '?' : '.';
  return out;
}
