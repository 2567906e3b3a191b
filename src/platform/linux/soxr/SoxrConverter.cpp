#include "platform/linux/soxr/SoxrConverter.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

void SoxrConverter::Delete::operator()(soxr* resampler) const { soxr_delete(resampler); }

bool SoxrConverter::handles(const PcmFormat& from, const PcmFormat& to) {
  const bool rates = from.sampleRate > 0 && to.sampleRate > 0 && std::isfinite(from.sampleRate) &&
                     std::isfinite(to.sampleRate);
  const bool output = to.channels == 1 && (to.sampleFormat == SampleFormat::Int16 ||
                                           to.sampleFormat == SampleFormat::Float32);
  return rates && output && from.channels > 0;
}

SoxrConverter::SoxrConverter(const PcmFormat& from, const PcmFormat& to) : from_(from), to_(to) {
  if (!handles(from, to)) throw Failure("no conversion between these formats");
  // At the same rate only the channels and the sample type change: nothing to filter.
  if (from.sampleRate != to.sampleRate) open();
}

void SoxrConverter::open() {
  const soxr_datatype_t output =
      to_.sampleFormat == SampleFormat::Int16 ? SOXR_INT16_I : SOXR_FLOAT32_I;
  soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, output);
  // No dither on the way to 16-bit samples: its noise, one step either way, turns the digital
  // silence between phrases into a floor the recogniser's speech detector trips over (a phrase
  // of the other side was then heard as one or two wrong words).
  io.flags |= SOXR_NO_DITHER;
  // Minimum phase: the filter's delay is about half the linear-phase one's (12 ms against 13 to
  // 33 ms from 48 kHz to 16 kHz), so a phrase's end reaches the recogniser sooner; the
  // recogniser reads magnitude spectra, which the phase does not change.
  soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, SOXR_MINIMUM_PHASE);
  soxr_error_t error = nullptr;
  resampler_.reset(soxr_create(from_.sampleRate, to_.sampleRate, 1, &error, &io, &quality, nullptr));
  if (error != nullptr || !resampler_) {
    throw Failure(std::string("libsoxr: ") + (error != nullptr ? error : "no resampler"));
  }
}

void SoxrConverter::mixDown(const PcmBuffer& input) {
  const std::uint32_t frames = input.frameLength();
  const std::uint32_t channels = from_.channels;
  mono_.assign(frames, 0.0f);
  const auto add = [&](auto sample, float scale) {
    using Sample = decltype(sample);
    for (std::uint32_t c = 0; c < channels; ++c) {
      const std::size_t list = from_.interleaved ? 0 : c;
      const std::size_t stride = from_.interleaved ? channels : 1;
      const std::size_t offset = from_.interleaved ? c : 0;
      const Sample* samples = input.samples<Sample>(list);
      if (samples == nullptr) throw Failure("a channel of the input has no samples");
      for (std::uint32_t i = 0; i < frames; ++i) {
        mono_[i] += static_cast<float>(samples[i * stride + offset]) * scale;
      }
    }
  };
  const float share = 1.0f / static_cast<float>(channels);
  switch (from_.sampleFormat) {
    case SampleFormat::Float32: add(float{}, share); break;
    case SampleFormat::Float64: add(double{}, share); break;
    case SampleFormat::Int16: add(std::int16_t{}, share / 32768.0f); break;
    case SampleFormat::Int32: add(std::int32_t{}, share / 2147483648.0f); break;
  }
}

PcmBuffer SoxrConverter::convert(const PcmBuffer& input) {
  if (!(input.format() == from_)) throw Failure("the buffer is not in the converter's format");
  mixDown(input);
  if (!resampler_) return sameRate();
  return run(mono_.data(), mono_.size());
}

PcmBuffer SoxrConverter::sameRate() const {
  const auto frames = static_cast<std::uint32_t>(mono_.size());
  PcmBuffer output(to_, frames);
  output.setFrameLength(frames);
  if (to_.sampleFormat == SampleFormat::Float32) {
    std::copy(mono_.begin(), mono_.end(), output.samples<float>(0));
  } else {
    std::int16_t* out = output.samples<std::int16_t>(0);
    for (std::uint32_t i = 0; i < frames; ++i) {
      out[i] = static_cast<std::int16_t>(std::lround(std::clamp(mono_[i] * 32768.0f, -32768.0f, 32767.0f)));
    }
  }
  return output;
}

PcmBuffer SoxrConverter::flush() {
  if (!resampler_) return PcmBuffer(to_, 0);
  PcmBuffer tail = run(nullptr, 0);
  open();  // a drained resampler takes no more input
  return tail;
}

PcmBuffer SoxrConverter::run(const float* input, std::size_t frames) {
  const std::size_t sampleBytes = to_.bytesPerFrame();
  const double ratio = to_.sampleRate / from_.sampleRate;
  // Room for what this input makes; the loop goes on while the output keeps filling it.
  const std::size_t room = static_cast<std::size_t>(std::ceil(frames * ratio)) + 256;
  made_.clear();
  std::size_t taken = 0;
  for (;;) {
    const std::size_t at = made_.size();
    made_.resize(at + room * sampleBytes);
    std::size_t used = 0;
    std::size_t out = 0;
    soxr_error_t error = soxr_process(resampler_.get(), input ? input + taken : nullptr,
                                      input ? frames - taken : 0, &used, made_.data() + at, room,
                                      &out);
    if (error != nullptr) throw Failure(std::string("libsoxr: ") + error);
    taken += used;
    made_.resize(at + out * sampleBytes);
    if (taken >= frames && out < room) break;
  }
  const auto length = static_cast<std::uint32_t>(made_.size() / sampleBytes);
  PcmBuffer output(to_, length);
  output.setFrameLength(length);
  if (length > 0) std::memcpy(output.buffers()[0].data, made_.data(), made_.size());
  return output;
}
