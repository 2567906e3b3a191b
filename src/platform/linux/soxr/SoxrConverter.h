#pragma once

#include <memory>
#include <vector>

#include "platform/AudioConverter.h"

struct soxr;

// One libsoxr resampler from a given input format to a mono output. The input is first mixed
// to mono 32-bit float (channels averaged); the resampler keeps its filter state across calls
// until flush() drains it. At the same rate no resampler is needed: the samples only change type.
class SoxrConverter : public AudioConverter {
 public:
  // Throws Failure when libsoxr refuses the formats.
  SoxrConverter(const PcmFormat& from, const PcmFormat& to);

  PcmBuffer convert(const PcmBuffer& input) override;
  PcmBuffer flush() override;

  // Whether a converter can be made between the two formats.
  static bool handles(const PcmFormat& from, const PcmFormat& to);

 private:
  struct Delete {
    void operator()(soxr* resampler) const;
  };

  void mixDown(const PcmBuffer& input);
  // Runs the resampler over the input (null: the end of the stream) until it has taken all of
  // it and has nothing more to give.
  PcmBuffer run(const float* input, std::size_t frames);
  void open();
  PcmBuffer sameRate() const;

  PcmFormat from_;
  PcmFormat to_;
  std::unique_ptr<soxr, Delete> resampler_;
  std::vector<float> mono_;
  std::vector<std::byte> made_;
};
