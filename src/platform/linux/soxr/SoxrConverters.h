#pragma once

#include "platform/AudioConverters.h"

// Converters built on libsoxr's streaming resampler. Input of any sample type and layout is
// mixed down to mono (channels averaged) and resampled to a mono output of 16-bit or 32-bit
// float samples; other outputs have no converter.
class SoxrConverters : public AudioConverters {
 public:
  std::unique_ptr<AudioConverter> make(const PcmFormat& from, const PcmFormat& to) override;
};
