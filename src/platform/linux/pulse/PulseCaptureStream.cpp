#include "platform/linux/pulse/PulseCaptureStream.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "platform/linux/pulse/PulseHandles.h"
#include "platform/linux/pulse/PulseMainLoop.h"

void PulseCaptureStream::StreamFree::operator()(pa_stream* stream) const {
  pa_stream_set_read_callback(stream, nullptr, nullptr);
  pa_stream_set_state_callback(stream, nullptr, nullptr);
  pa_stream_disconnect(stream);
  pa_stream_unref(stream);
}

PulseCaptureStream::PulseCaptureStream(PulseMainLoop& loop, const std::string& source,
                                       const PcmFormat& format, bool voiceProcessing,
                                       std::uint32_t framesPerBuffer,
                                       AudioInput::BufferHandler onBuffer,
                                       std::function<void()> failed)
    : loop_(loop),
      format_(format),
      framesPerBuffer_(std::max<std::uint32_t>(1, framesPerBuffer)),
      onBuffer_(std::move(onBuffer)),
      failed_(std::move(failed)),
      block_(std::size_t{framesPerBuffer_} * format.channels),
      view_(PcmBuffer::view(format, 0, {})) {
  std::byte* data = reinterpret_cast<std::byte*>(block_.data());
  view_.repoint(framesPerBuffer_, std::span<std::byte* const>(&data, 1));

  const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, static_cast<std::uint32_t>(format.sampleRate),
                            static_cast<std::uint8_t>(format.channels)};
  pa_channel_map map;
  pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_DEFAULT);
  PulseProplistPtr properties(pa_proplist_new());
  pa_proplist_sets(properties.get(), PA_PROP_MEDIA_NAME, "Microphone");
  // A dictation role: never "phone", which would make the server duck or pause other streams.
  pa_proplist_sets(properties.get(), PA_PROP_MEDIA_ROLE, "production");
  if (voiceProcessing) pa_proplist_sets(properties.get(), PA_PROP_FILTER_WANT, "echo-cancel");

  PulseMainLoop::Lock lock(loop_);
  stream_.reset(pa_stream_new_with_proplist(loop_.context(), "Microphone", &spec, &map,
                                            properties.get()));
  if (!stream_) throw std::runtime_error(loop_.lastError());
  pa_stream_set_state_callback(
      stream_.get(), [](pa_stream*, void* self) { static_cast<PulseCaptureStream*>(self)->stateChanged(); },
      this);
  pa_stream_set_read_callback(
      stream_.get(),
      [](pa_stream*, std::size_t, void* self) { static_cast<PulseCaptureStream*>(self)->readable(); },
      this);
  pa_buffer_attr attributes;
  std::memset(&attributes, 0xff, sizeof attributes);
  attributes.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(20000, &spec));
  // The server's timing, kept up to date, gives each buffer the time its first frame was
  // captured.
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE |
                                                    PA_STREAM_INTERPOLATE_TIMING |
                                                    PA_STREAM_AUTO_TIMING_UPDATE);
  const char* device = source.empty() ? nullptr : source.c_str();
  if (pa_stream_connect_record(stream_.get(), device, &attributes, flags) < 0) {
    std::string problem = loop_.lastError();
    stream_.reset();
    throw std::runtime_error(problem);
  }
  const auto deadline = PulseMainLoop::Clock::now() + PulseMainLoop::SERVER_LIMIT;
  for (;;) {
    pa_stream_state_t state = pa_stream_get_state(stream_.get());
    if (state == PA_STREAM_READY) break;
    if (!PA_STREAM_IS_GOOD(state)) {
      std::string problem = loop_.lastError();
      stream_.reset();
      throw std::runtime_error(problem);
    }
    if (!loop_.wait(deadline)) {
      stream_.reset();
      throw std::runtime_error("the sound server didn\u2019t start the recording in time");
    }
  }
  ready_ = true;
}

PulseCaptureStream::~PulseCaptureStream() {
  PulseMainLoop::Lock lock(loop_);
  stream_.reset();
}

void PulseCaptureStream::stateChanged() {
  loop_.signal();
  if (!stream_ || !ready_) return;
  if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream_.get()))) {
    ready_ = false;
    try {
      if (failed_) failed_();
    } catch (...) {
      // Nothing crosses back into libpulse.
    }
  }
}

std::optional<double> PulseCaptureStream::readTime() const {
  // The latency of a record stream is how long ago the first frame not yet read was captured;
  // a monitor's is negative until what it carries is played.
  pa_usec_t latency = 0;
  int negative = 0;
  if (pa_stream_get_latency(stream_.get(), &latency, &negative) != 0) return std::nullopt;
  const double now =
      std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  const double seconds = static_cast<double>(latency) / 1e6;
  return negative ? now + seconds : now - seconds;
}

void PulseCaptureStream::readable() {
  if (!stream_) return;
  const std::size_t frameBytes = sizeof(float) * format_.channels;
  const std::optional<double> readFrom = readTime();
  std::size_t read = 0;  // frames read (holes included) since readFrom
  while (pa_stream_readable_size(stream_.get()) > 0) {
    const void* data = nullptr;
    std::size_t bytes = 0;
    if (pa_stream_peek(stream_.get(), &data, &bytes) < 0 || bytes == 0) return;
    // A hole (no data) is skipped: the buffers carry only what was recorded.
    const auto* in = static_cast<const float*>(data);
    std::size_t frames = data ? bytes / frameBytes : 0;
    if (!data) read += bytes / frameBytes;
    while (frames > 0) {
      if (filled_ == 0) {
        view_.setCapturedAt(readFrom ? std::optional<double>(*readFrom + static_cast<double>(read) /
                                                                            format_.sampleRate)
                                     : std::nullopt);
      }
      const std::uint32_t take =
          static_cast<std::uint32_t>(std::min<std::size_t>(frames, framesPerBuffer_ - filled_));
      read += take;
      std::memcpy(block_.data() + std::size_t{filled_} * format_.channels, in,
                  std::size_t{take} * frameBytes);
      filled_ += take;
      in += std::size_t{take} * format_.channels;
      frames -= take;
      if (filled_ == framesPerBuffer_) {
        filled_ = 0;
        try {
          onBuffer_(view_);
        } catch (...) {
          // A consumer's failure stays on this side of libpulse.
        }
      }
    }
    pa_stream_drop(stream_.get());
  }
}
