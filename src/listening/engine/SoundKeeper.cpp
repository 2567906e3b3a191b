#include "listening/engine/SoundKeeper.h"

#include <algorithm>

#include "main/Base64.h"
#include "listening/engine/LiveTranscriber.h"
#include "platform/AudioConverters.h"

namespace {

void putLittle(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i) & 0xff);
}

}  // namespace

SoundKeeper::SoundKeeper(AudioConverters& converters, double limitSeconds)
    : converters_(converters),
      queue_("vesk.sound"),
      limitBytes_(static_cast<std::size_t>(limitSeconds * KEPT_SOUND_RATE) * 2) {}

PcmFormat SoundKeeper::keptFormat() {
  return PcmFormat{KEPT_SOUND_RATE, 1, SampleFormat::Int16, true};
}

void SoundKeeper::keep(const PcmBuffer& buffer) {
  if (buffer.frameLength() == 0) return;
  auto copy = LiveTranscriber::copy(buffer);
  if (!copy) return;
  // The job holds the keeper: audio already offered is kept even if the owner lets go.
  queue_.post([self = shared_from_this(), copied = std::make_shared<PcmBuffer>(std::move(*copy))] {
    self->convert(std::move(*copied));
  });
}

void SoundKeeper::convert(PcmBuffer buffer) {
  if (samples_.size() >= limitBytes_) return;
  if (buffer.format().channels >= 3) {
    auto mono = LiveTranscriber::channel0(buffer);
    if (!mono) return;
    buffer = std::move(*mono);
  }
  if (!converterFormat_ || !(*converterFormat_ == buffer.format())) {
    converterFormat_ = buffer.format();
    converter_ = converters_.make(buffer.format(), keptFormat());
  }
  if (!converter_) return;
  PcmBuffer output(keptFormat(), LiveTranscriber::outputCapacity(buffer.format().sampleRate,
                                                                 KEPT_SOUND_RATE,
                                                                 buffer.frameLength()));
  try {
    converter_->convert(buffer, output);
  } catch (const AudioConverter::Failure&) {
    return;
  }
  const auto* data = output.samples<char>(0);
  if (output.frameLength() == 0 || data == nullptr) return;
  const std::size_t room = limitBytes_ - samples_.size();
  samples_.append(data, std::min<std::size_t>(room, std::size_t{output.frameLength()} * 2));
}

std::optional<std::string> SoundKeeper::wavBase64() {
  std::string samples = queue_.sync([this] { return samples_; });
  if (samples.empty()) return std::nullopt;
  return base64(wavFile(samples));
}

std::string SoundKeeper::wavFile(const std::string& samples) {
  const auto size = static_cast<std::uint32_t>(samples.size());
  std::string file;
  file.reserve(44 + samples.size());
  file += "RIFF";
  putLittle(file, size + 36, 4);
  file += "WAVEfmt ";
  putLittle(file, 16, 4);
  putLittle(file, 1, 2);
  putLittle(file, 1, 2);
  putLittle(file, 16000, 4);
  putLittle(file, 32000, 4);
  putLittle(file, 2, 2);
  putLittle(file, 16, 2);
  file += "data";
  putLittle(file, size, 4);
  file += samples;
  return file;
}
