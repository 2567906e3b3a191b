#pragma once

#include <memory>

#include "platform/AudioConverter.h"

// Makes streaming audio converters. Exists so tests can replace it; the real one uses libsoxr.
class AudioConverters {
 public:
  virtual ~AudioConverters() = default;

  // A converter from one format to the other, or null when there is none between them.
  virtual std::unique_ptr<AudioConverter> make(const PcmFormat& from, const PcmFormat& to) = 0;
};
