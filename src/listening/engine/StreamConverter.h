#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/AudioConverter.h"
#include "platform/PcmBuffer.h"

class AudioConverters;

// One voice's sound converted into one format, buffer by buffer, whatever format the capture
// delivers: three or more channels are reduced to channel 0, sound already in the format passes
// as it is, and a converter is made for each new input format, the old one's tail flushed first,
// so the filter carries across buffers and no frame is lost at a format change or at the end.
//
// Threads: one at a time (the voice's worker or queue).
class StreamConverter {
 public:
  using Sink = std::function<void(const PcmBuffer& converted)>;
  enum class Outcome {
    Converted,
    // The first buffer of an input format that nothing converts; the later ones are dropped
    // quietly until the format changes.
    NoConverter,
    Dropped,
  };

  StreamConverter(AudioConverters& converters, const PcmFormat& to);

  const PcmFormat& format() const { return to_; }
  // The input format of the last buffer, as converted (after any reduction to channel 0).
  const std::optional<PcmFormat>& inputFormat() const { return from_; }
  // Hands what the buffer becomes to sink. Throws AudioConverter::Failure when the conversion
  // fails; the next buffer is tried again.
  Outcome convert(PcmBuffer buffer, const Sink& sink);
  // The converter's tail to sink; the stream then starts afresh. A failure loses the tail.
  void flush(const Sink& sink);

 private:
  AudioConverters& converters_;
  const PcmFormat to_;
  std::unique_ptr<AudioConverter> converter_;
  std::optional<PcmFormat> from_;
};
