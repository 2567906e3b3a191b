#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "fakes/FakeConsole.h"

// What the fuzz targets share: the input as text or as a command line, and the run of a command.
namespace fuzzInput {

inline std::string text(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// The text cut at each "\n", at most `most` pieces (the last one keeps the rest).
inline std::vector<std::string> lines(std::string_view text, std::size_t most) {
  std::vector<std::string> pieces;
  while (pieces.size() + 1 < most) {
    auto end = text.find('\n');
    if (end == std::string_view::npos) break;
    pieces.emplace_back(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  pieces.emplace_back(text);
  return pieces;
}

// The command line an input stands for: its first byte picks one of `words`, the rest is the one
// argument, except for the word `split`, whose arguments are the rest's lines (at most `most`).
// Empty for the empty input.
inline std::vector<std::string> commandLine(const std::uint8_t* data, std::size_t size,
                                            const std::vector<std::string>& words,
                                            std::string_view split, std::size_t most) {
  if (size == 0) return {};
  std::vector<std::string> args{words[data[0] % words.size()]};
  const std::string rest = text(data + 1, size - 1);
  if (args[0] == split) {
    for (auto& line : lines(rest, most)) args.push_back(std::move(line));
  } else {
    args.push_back(rest);
  }
  return args;
}

// Runs a command that never returns against the fake console. A command that returns, ends with
// a status outside `allowed`, replies with anything but one JSON value, or fails after writing
// on standard output, is a finding: the target aborts so the fuzzer keeps the input.
template <class Call>
void runCommand(Call call, const FakeConsole& console, std::initializer_list<int> allowed) {
  int status = -1;
  try {
    call();
  } catch (const ProcessEnded& ended) {
    status = ended.status;
  }
  if (std::find(allowed.begin(), allowed.end(), status) == allowed.end()) std::abort();
  const std::string out = console.stdoutText();
  if (status == 0 && nlohmann::json::parse(out, nullptr, false).is_discarded()) std::abort();
  if (status != 0 && !out.empty()) std::abort();
}

}  // namespace fuzzInput
