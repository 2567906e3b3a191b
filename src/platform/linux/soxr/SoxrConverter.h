#pragma once

#include <memory>
#include <vector>

#include "platform/AudioConverter.h"

struct soxr;

// One libsoxr resampler from a given input format to a mono output. The input is first mixed
// to mono 32-bit float (channels averaged); the resampler keeps its filter state across calls.
class SoxrConverter : public AudioConverter {
 public:
  // Throws Failure when libsoxr refuses the formats.
  SoxrConverter(const PcmFormat& from, const PcmFormat& to);

  void convert(const PcmBuffer& input, PcmBuffer& output) override;

  // Whether a converter can be made between the two formats.
  static bool handles(const PcmFormat& from, const PcmFormat& to);

 private:
  struct Delete {
    void operator()(soxr* resampler) const;
  };

  void mixDown(const PcmBuffer& input);

  PcmFormat from_;
  PcmFormat to_;
  std::unique_ptr<soxr, Delete> resampler_;
  std::vector<float> mono_;
};
