#include "platform/linux/pulse/PulseSystemAudio.h"

#include <stdexcept>

#include "platform/linux/pulse/PulseCaptureStream.h"
#include "platform/linux/pulse/PulseMainLoop.h"

namespace {

// The process's connection outlives the stream: it is never destroyed.
struct MonitorRecording : CaptureStream {
  std::unique_ptr<PulseCaptureStream> stream;
};

struct SinkQuery {
  PulseMainLoop* loop;
  SystemAudio::Sink sink;
  std::string monitor;
};

// With the loop's lock held: the default output and its monitor, or none.
bool findDefaultSink(PulseMainLoop& loop, SinkQuery& query) {
  // The server resolves its default sink itself: one question instead of two.
  auto onSink = [](pa_context*, const pa_sink_info* info, int eol, void* data) {
    auto* found = static_cast<SinkQuery*>(data);
    if (eol == 0 && info) {
      found->sink.name = info->name ? info->name : "";
      found->sink.description = info->description ? info->description : "";
      found->monitor = info->monitor_source_name ? info->monitor_source_name : "";
    }
    if (eol != 0) found->loop->signal();
  };
  loop.await(pa_context_get_sink_info_by_name(loop.context(), "@DEFAULT_SINK@", onSink, &query));
  return !query.monitor.empty();
}

}  // namespace

SystemAudio::Recording PulseSystemAudio::record(const PcmFormat& format,
                                                std::uint32_t framesPerBuffer,
                                                BufferHandler onBuffer, EndHandler onEnd) {
  auto recording = std::make_unique<MonitorRecording>();
  std::string problem;
  PulseMainLoop* shared = PulseMainLoop::shared(problem);
  if (!shared) throw std::runtime_error(problem);
  PulseMainLoop& loop = *shared;
  SinkQuery query{&loop, {}, {}};
  {
    PulseMainLoop::Lock lock(loop);
    if (!findDefaultSink(loop, query)) {
      throw std::runtime_error("There\u2019s no default sound output to listen to");
    }
  }
  auto failed = [&loop, onEnd = std::move(onEnd)] {
    // On the loop thread, its lock held: the context's last error is the stream's.
    const int code = pa_context_errno(loop.context());
    onEnd(SoundServerError(pa_strerror(code), code));
  };
  try {
    recording->stream = std::make_unique<PulseCaptureStream>(
        loop, query.monitor, format, false, framesPerBuffer, std::move(onBuffer), failed);
  } catch (const std::runtime_error& error) {
    PulseMainLoop::Lock lock(loop);
    const int code = pa_context_errno(loop.context());
    // A stream the server never answered leaves no error of its own.
    throw SoundServerError(error.what(), code == PA_OK ? PA_ERR_TIMEOUT : code);
  }
  return Recording{std::move(recording), query.sink};
}
