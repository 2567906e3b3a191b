#include "listening/engine/StreamConverter.h"

#include "platform/AudioConverters.h"

StreamConverter::StreamConverter(AudioConverters& converters, const PcmFormat& to)
    : converters_(converters), to_(to) {}

StreamConverter::Outcome StreamConverter::convert(PcmBuffer buffer, const Sink& sink) {
  if (buffer.format().channels >= 3) {
    auto mono = buffer.channel0();
    if (!mono) return Outcome::Dropped;
    buffer = std::move(*mono);
  }
  if (!from_ || !(*from_ == buffer.format())) {
    flush(sink);  // the old format's tail comes before the new format's sound
    from_ = buffer.format();
    converter_ = buffer.format() == to_ ? nullptr : converters_.make(buffer.format(), to_);
    if (!converter_ && !(buffer.format() == to_)) return Outcome::NoConverter;
  }
  if (buffer.format() == to_) {
    sink(buffer);
    return Outcome::Converted;
  }
  if (!converter_) return Outcome::Dropped;
  sink(converter_->convert(buffer));
  return Outcome::Converted;
}

void StreamConverter::flush(const Sink& sink) {
  if (!converter_) return;
  try {
    sink(converter_->flush());
  } catch (const AudioConverter::Failure&) {
    // The tail is lost; the next buffers are tried again.
  }
}
