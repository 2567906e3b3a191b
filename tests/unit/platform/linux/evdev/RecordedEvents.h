#pragma once

#include <linux/input.h>

#include <cstddef>
#include <cstring>
#include <vector>

// The bytes an event device gives for these (type, code, value) records.
struct RecordedEvent {
  unsigned short type;
  unsigned short code;
  int value;
};

inline std::vector<std::byte> recorded(const std::vector<RecordedEvent>& records) {
  std::vector<std::byte> bytes;
  long usec = 0;
  for (const auto& r : records) {
    input_event event{};
    event.input_event_sec = 1765290000;
    event.input_event_usec = usec += 8000;
    event.type = r.type;
    event.code = r.code;
    event.value = r.value;
    const auto* raw = reinterpret_cast<const std::byte*>(&event);
    bytes.insert(bytes.end(), raw, raw + sizeof event);
  }
  return bytes;
}
