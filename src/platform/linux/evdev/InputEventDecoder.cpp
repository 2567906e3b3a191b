#include "platform/linux/evdev/InputEventDecoder.h"

#include <linux/input.h>

#include <cstring>

std::vector<InputEventDecoder::Step> InputEventDecoder::feed(std::span<const std::byte> bytes) {
  partial_.insert(partial_.end(), bytes.begin(), bytes.end());
  std::vector<Step> steps;
  std::size_t used = 0;
  for (; partial_.size() - used >= sizeof(input_event); used += sizeof(input_event)) {
    input_event record;
    std::memcpy(&record, partial_.data() + used, sizeof record);
    if (record.type == EV_SYN && record.code == SYN_DROPPED) {
      dropping_ = true;
    } else if (dropping_) {
      if (record.type == EV_SYN && record.code == SYN_REPORT) {
        dropping_ = false;
        steps.push_back({Step::Kind::Resync, 0, 0});
      }
    } else if (record.type == EV_KEY) {
      steps.push_back({Step::Kind::Key, record.code, record.value});
    }
  }
  partial_.erase(partial_.begin(), partial_.begin() + static_cast<std::ptrdiff_t>(used));
  return steps;
}
