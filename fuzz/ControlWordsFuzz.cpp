// The control words of dictation and meetings, and the dictation mode words.
#include <cmath>
#include <cstdlib>

#include "FuzzInput.h"
#include "listening/dictation/DictateWords.h"
#include "base/ControlWord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line = fuzzInput::text(data, size);
  const std::string word = controlWord(line);
  // The word is a trimmed piece of the line.
  if (line.find(word) == std::string::npos) std::abort();
  if (!word.empty() && (word.front() == ' ' || word.front() == '\t' || word.back() == ' ' ||
                        word.back() == '\t')) {
    std::abort();
  }
  if (controlWord(word) != word && word.back() != '\r') std::abort();
  if (auto quiet = dictateQuietSeconds(line); quiet && !(*quiet > 0)) std::abort();
  return 0;
}
