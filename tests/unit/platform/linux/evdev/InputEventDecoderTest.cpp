#include "platform/linux/evdev/InputEventDecoder.h"

#include <gtest/gtest.h>
#include <linux/input.h>

#include <cstring>

#include "unit/platform/linux/evdev/RecordedEvents.h"

namespace {

using Kind = InputEventDecoder::Step::Kind;

std::vector<std::tuple<Kind, unsigned, int>> stepsOf(
    const std::vector<InputEventDecoder::Step>& steps) {
  std::vector<std::tuple<Kind, unsigned, int>> out;
  for (const auto& s : steps) out.emplace_back(s.kind, s.code, s.value);
  return out;
}

TEST(InputEventDecoder, keepsKeyChangesOfRecordsSplitAcrossReads) {
  // Left Ctrl down, auto-repeat, up, as a USB keyboard reports them (scan code, key, report).
  const auto bytes = recorded({{EV_MSC, MSC_SCAN, 0x700e0}, {EV_KEY, KEY_LEFTCTRL, 1},
                               {EV_SYN, SYN_REPORT, 0}, {EV_KEY, KEY_LEFTCTRL, 2},
                               {EV_SYN, SYN_REPORT, 1}, {EV_MSC, MSC_SCAN, 0x700e0},
                               {EV_KEY, KEY_LEFTCTRL, 0}, {EV_SYN, SYN_REPORT, 0}});
  InputEventDecoder decoder;
  std::vector<InputEventDecoder::Step> steps;
  for (std::size_t at = 0; at < bytes.size(); at += 7) {
    auto part = std::span(bytes).subspan(at, std::min<std::size_t>(7, bytes.size() - at));
    auto made = decoder.feed(part);
    steps.insert(steps.end(), made.begin(), made.end());
  }
  EXPECT_EQ(stepsOf(steps), (std::vector<std::tuple<Kind, unsigned, int>>{
                                {Kind::Key, KEY_LEFTCTRL, 1},
                                {Kind::Key, KEY_LEFTCTRL, 2},
                                {Kind::Key, KEY_LEFTCTRL, 0}}));
}

}  // namespace
