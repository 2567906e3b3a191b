// Cost of writing the recogniser's words as written text, per phrase, on phrases that exercise
// every rule; beside it, as a peer measured in the same run, the cost of building the event line
// that carries the phrase (its JSON text), which every phrase pays anyway.
#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "listening/engine/WrittenText.h"

namespace {

const char* const PHRASES[] = {
    "thanks for the notes",
    "i think i'll go on monday in march",
    "we need twenty five chairs and three tables",
    "one hundred and five people came in two thousand twenty six",
    "a hundred and three point five and fifteen percent and five percent",
    "meet me at four thirty or ten fifteen p m or ten o'clock",
    "the twenty first of may costs twenty dollars",
    "what time does the train leave",
    "thanks comma see you monday period new line best",
    "the code is two three four and wait a second",
};

using Clock = std::chrono::steady_clock;

template <typename Work>
double microsPerPhrase(int rounds, Work work) {
  std::size_t sink = 0;
  const auto started = Clock::now();
  for (int round = 0; round < rounds; ++round) {
    for (const char* phrase : PHRASES) sink += work(phrase);
  }
  const double total = std::chrono::duration<double, std::micro>(Clock::now() - started).count();
  if (sink == 0) std::printf("(nothing written)\n");
  return total / (rounds * static_cast<double>(std::size(PHRASES)));
}

}  // namespace

int main() {
  constexpr int ROUNDS = 20000;
  const double written = microsPerPhrase(ROUNDS, [](const char* phrase) {
    return WrittenText::of(phrase, true, WrittenText::SpokenMarks::BecomeMarks).size();
  });
  const double line = microsPerPhrase(ROUNDS, [](const char* phrase) {
    return nlohmann::json{
        {"kind", "line"}, {"who", "me"}, {"at", "2026-12-10T13:22:25.506Z"}, {"text", phrase}}
        .dump()
        .size();
  });
  std::printf(
      "written text: %.2f us per phrase (target under 20 us), %.2fx building its event line "
      "(%.2f us)\n",
      written, written / line, line);
  return 0;
}
