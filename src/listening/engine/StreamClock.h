#pragma once

#include <cstdint>
#include <optional>

// The time of each sample of one stream, from the capture times its chunks come with: sample n
// was captured at offset + n / rate, the offset following the chunks' times slowly, so that the
// jitter of the server's timing is smoothed and the drift of the device's clock against the
// steady clock is followed. A chunk that starts more than JUMP after the one before it ended
// starts after a gap; one that starts more than JUMP before it starts the clock afresh (the
// stream started again). While a server's timing settles, the times can move further than that,
// but chunk by chunk: they move the offset, and no samples are taken for a gap.
// Used from one thread at a time.
class StreamClock {
 public:
  static constexpr double JUMP = 0.1;
  // How long the offset takes to follow a change (its time constant).
  static constexpr double FOLLOW = 0.25;

  explicit StreamClock(double rate) : rate_(rate) {}

  // Takes the time of the chunk starting at sample `index`; answers how many samples the gap
  // before it holds (0 for a chunk in time). Without a time the clock goes on as it was.
  std::int64_t place(std::int64_t index, std::optional<double> captured, std::int64_t samples);
  // When sample `index` was captured; none before the first time came.
  std::optional<double> timeOf(std::int64_t index) const;
  // The index, with its fraction, of the sample captured at `time`; none before the first time.
  std::optional<double> indexAt(double time) const;

 private:
  const double rate_;
  std::optional<double> offset_;
  std::optional<double> next_;  // when the sample after the last chunk was due
};
