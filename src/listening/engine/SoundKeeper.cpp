#include "listening/engine/SoundKeeper.h"

#include <algorithm>

#include "base/Base64.h"
#include "platform/AudioConverters.h"

namespace {

void putLittle(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i) & 0xff);
}

}  // namespace

SoundKeeper::SoundKeeper(AudioConverters& converters, double limitSeconds)
    : converter_(converters, keptFormat()),
      queue_("vesk.sound"),
      limitBytes_(static_cast<std::size_t>(limitSeconds * KEPT_SOUND_RATE) * 2) {}

PcmFormat SoundKeeper::keptFormat() {
  return PcmFormat{KEPT_SOUND_RATE, 1, SampleFormat::Int16, true};
}

void SoundKeeper::keep(const PcmBuffer& buffer) {
  if (buffer.frameLength() == 0) return;
  auto copy = buffer.copy();
  if (!copy) return;
  // The job holds the keeper: audio already offered is kept even if the owner lets go.
  queue_.post([self = shared_from_this(), copied = std::make_shared<PcmBuffer>(std::move(*copy))] {
    self->convert(std::move(*copied));
  });
}

void SoundKeeper::convert(PcmBuffer buffer) {
  if (samples_.size() >= limitBytes_) return;
  try {
    converter_.convert(std::move(buffer), [this](const PcmBuffer& output) { append(output); });
  } catch (const AudioConverter::Failure&) {
  }
}

void SoundKeeper::append(const PcmBuffer& output) {
  const auto* data = output.samples<char>(0);
  if (output.frameLength() == 0 || data == nullptr || samples_.size() >= limitBytes_) return;
  // Room for the whole recording at once: growing by doubling would copy it and overshoot.
  if (samples_.capacity() < limitBytes_) samples_.reserve(limitBytes_);
  const std::size_t room = limitBytes_ - samples_.size();
  samples_.append(data, std::min<std::size_t>(room, std::size_t{output.frameLength()} * 2));
}

void SoundKeeper::flushConverter() {
  converter_.flush([this](const PcmBuffer& output) { append(output); });
}

std::optional<std::string> SoundKeeper::wavBase64() {
  std::string text;
  if (!writeWavBase64([&text](std::string_view piece) { text += piece; })) return std::nullopt;
  return text;
}

bool SoundKeeper::kept() {
  return queue_.sync([this] {
    flushConverter();
    return !samples_.empty();
  });
}

bool SoundKeeper::writeWavBase64(const std::function<void(std::string_view)>& piece) {
  return queue_.sync([&] {
    flushConverter();  // the filter's tail is the end of the recording
    if (samples_.empty()) return false;
    const std::string head = wavHeader(samples_.size());
    // Base64 of the header and the samples as one stream, a few kilobytes at a time, so no
    // second copy of the recording is ever made. Chunks are whole groups of three bytes.
    constexpr std::size_t CHUNK = 3 * 16384;
    std::string chunk;
    chunk.reserve(CHUNK);
    const std::size_t total = head.size() + samples_.size();
    for (std::size_t at = 0; at < total;) {
      chunk.clear();
      while (chunk.size() < CHUNK && at < total) {
        if (at < head.size()) {
          const std::size_t n = std::min(CHUNK - chunk.size(), head.size() - at);
          chunk.append(head, at, n);
          at += n;
        } else {
          const std::size_t from = at - head.size();
          const std::size_t n = std::min(CHUNK - chunk.size(), samples_.size() - from);
          chunk.append(samples_, from, n);
          at += n;
        }
      }
      piece(base64(chunk));
    }
    return true;
  });
}

std::string SoundKeeper::wavHeader(std::size_t sampleBytes) {
  const auto size = static_cast<std::uint32_t>(sampleBytes);
  std::string file;
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
  return file;
}

std::string SoundKeeper::wavFile(const std::string& samples) {
  return wavHeader(samples.size()) + samples;
}
