#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <memory>
#include <optional>
#include <string>

#include "base/SerialQueue.h"
#include "listening/engine/StreamConverter.h"
#include "platform/PcmBuffer.h"

class AudioConverters;

// The kept sound's sample rate.
inline constexpr double KEPT_SOUND_RATE = 16000.0;

// Keeps the first stretch of a dictation's microphone audio as 16 kHz mono 16-bit PCM and
// hands it out as a base64 WAV file. Once full it ignores later audio: the beginning is kept.
//
// Threads: keep() on the capture thread (a copy and a hand-off); wavBase64() from any thread.
// converter_ and everything below queue_ are touched only on queue_ ("vesk.sound"), so no mutex
// is needed.
class SoundKeeper : public std::enable_shared_from_this<SoundKeeper> {
 public:
  SoundKeeper(AudioConverters& converters, double limitSeconds = 120.0);

  // Offers one captured buffer; returns at once.
  void keep(const PcmBuffer& buffer);

  // The kept sound as a base64 WAV file, or none when nothing was kept. Waits for every buffer
  // offered before the call; the converter's tail is kept first.
  std::optional<std::string> wavBase64();
  // Whether any sound was kept, once every buffer offered before the call has been processed.
  bool kept();
  // The same text handed over in pieces of a few kilobytes straight from the kept samples;
  // false (and no piece) when nothing was kept.
  bool writeWavBase64(const std::function<void(std::string_view)>& piece);

  // A complete WAV file (44-byte header) around 16 kHz mono 16-bit samples.
  static std::string wavFile(const std::string& samples);
  static std::string wavHeader(std::size_t sampleBytes);

  static PcmFormat keptFormat();

 private:
  void convert(PcmBuffer buffer);
  void append(const PcmBuffer& output);
  void flushConverter();

  StreamConverter converter_;
  SerialQueue queue_;
  const std::size_t limitBytes_;
  std::string samples_;
};
