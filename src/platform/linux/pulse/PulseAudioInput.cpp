#include "platform/linux/pulse/PulseAudioInput.h"

#include <cstring>
#include <stdexcept>

#include "platform/linux/pulse/PulseCaptureStream.h"
#include "platform/linux/pulse/PulseMainLoop.h"

namespace {

AudioInput::Source sourceOf(const pa_source_info& info) {
  AudioInput::Source source;
  source.name = info.name ? info.name : "";
  const char* bus = pa_proplist_gets(info.proplist, PA_PROP_DEVICE_BUS);
  const char* formFactor = pa_proplist_gets(info.proplist, PA_PROP_DEVICE_FORM_FACTOR);
  source.bluetooth = bus && std::strcmp(bus, "bluetooth") == 0;
  source.builtIn = (formFactor && std::strcmp(formFactor, "internal") == 0) ||
                   (bus && std::strcmp(bus, "pci") == 0);
  return source;
}

std::string defaultSourceName(PulseMainLoop& loop) {
  std::string name;
  auto onServer = [](pa_context*, const pa_server_info* info, void* data) {
    auto* found = static_cast<std::pair<std::string*, PulseMainLoop*>*>(data);
    if (info && info->default_source_name) *found->first = info->default_source_name;
    found->second->signal();
  };
  std::pair<std::string*, PulseMainLoop*> found{&name, &loop};
  loop.await(pa_context_get_server_info(loop.context(), onServer, &found));
  return name;
}

struct SourceQuery {
  PulseMainLoop* loop;
  std::vector<AudioInput::Source> sources;
  pa_sample_spec spec{};
  bool found = false;
  bool failed = false;
};

void onSourceInfo(pa_context*, const pa_source_info* info, int eol, void* data) {
  auto* query = static_cast<SourceQuery*>(data);
  if (eol < 0) query->failed = true;
  if (eol == 0 && info) {
    query->found = true;
    query->spec = info->sample_spec;
    if (info->monitor_of_sink == PA_INVALID_INDEX) query->sources.push_back(sourceOf(*info));
  }
  if (eol != 0) query->loop->signal();
}

}  // namespace

PulseAudioInput::PulseAudioInput() = default;

PulseAudioInput::~PulseAudioInput() {
  if (!loop_) return;
  // The connection outlives this input: its server events come here no more.
  PulseMainLoop::Lock lock(*loop_);
  pa_context_set_subscribe_callback(loop_->context(), nullptr, nullptr);
}

PulseMainLoop* PulseAudioInput::connected(std::string& problem) {
  // Connected once; a failed connection stays failed, so later calls say the same at once.
  std::call_once(connectOnce_, [this] {
    loop_ = PulseMainLoop::shared(problem_);
    if (loop_) subscribe(*loop_);
  });
  if (!problem_.empty()) {
    problem = problem_;
    return nullptr;
  }
  return loop_;
}

void PulseAudioInput::subscribe(PulseMainLoop& loop) {
  PulseMainLoop::Lock lock(loop);
  defaultSource_ = defaultSourceName(loop);
  pa_context_set_subscribe_callback(
      loop.context(),
      [](pa_context*, pa_subscription_event_type_t type, std::uint32_t, void* self) {
        const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
        if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
          static_cast<PulseAudioInput*>(self)->serverChanged();
        }
      },
      this);
  pa_operation* operation =
      pa_context_subscribe(loop.context(), PA_SUBSCRIPTION_MASK_SERVER, nullptr, nullptr);
  if (operation) pa_operation_unref(operation);
}

void PulseAudioInput::serverChanged() {
  // On the loop thread: ask for the default source and compare when the answer comes.
  auto onServer = [](pa_context*, const pa_server_info* info, void* data) {
    auto* self = static_cast<PulseAudioInput*>(data);
    if (!info) return;
    std::string name = info->default_source_name ? info->default_source_name : "";
    if (name == self->defaultSource_) return;
    self->defaultSource_ = name;
    self->notify();
  };
  pa_operation* operation = pa_context_get_server_info(loop_->context(), onServer, this);
  if (operation) pa_operation_unref(operation);
}

void PulseAudioInput::notify() {
  std::vector<std::function<void()>> watchers;
  {
    std::lock_guard guard(mutex_);
    for (auto& [token, changed] : watchers_) watchers.push_back(changed);
  }
  for (auto& changed : watchers) {
    try {
      changed();
    } catch (...) {
      // Nothing crosses back into libpulse.
    }
  }
}

std::optional<AudioInput::Source> PulseAudioInput::defaultSource() {
  std::string problem;
  PulseMainLoop* loop = connected(problem);
  if (!loop) return std::nullopt;
  PulseMainLoop::Lock lock(*loop);
  std::string name = defaultSourceName(*loop);
  if (name.empty()) return std::nullopt;
  SourceQuery query{loop, {}, {}, false, false};
  loop->await(pa_context_get_source_info_by_name(loop->context(), name.c_str(), onSourceInfo, &query));
  if (query.sources.empty()) return std::nullopt;
  return query.sources.front();
}

std::vector<AudioInput::Source> PulseAudioInput::sources() {
  std::string problem;
  PulseMainLoop* loop = connected(problem);
  if (!loop) throw std::runtime_error(problem);
  PulseMainLoop::Lock lock(*loop);
  SourceQuery query{loop, {}, {}, false, false};
  if (!loop->await(pa_context_get_source_info_list(loop->context(), onSourceInfo, &query)) ||
      query.failed) {
    throw std::runtime_error(loop->lastError());
  }
  return query.sources;
}

PcmFormat PulseAudioInput::format(const std::string& source) {
  PcmFormat format{0, 0, SampleFormat::Float32, true};
  std::string problem;
  PulseMainLoop* loop = connected(problem);
  if (!loop) return format;
  PulseMainLoop::Lock lock(*loop);
  std::string name = source.empty() ? defaultSourceName(*loop) : source;
  if (name.empty()) return format;
  SourceQuery query{loop, {}, {}, false, false};
  loop->await(pa_context_get_source_info_by_name(loop->context(), name.c_str(), onSourceInfo, &query));
  if (!query.found || !pa_sample_spec_valid(&query.spec)) return format;
  format.sampleRate = query.spec.rate;
  format.channels = query.spec.channels;
  return format;
}

std::unique_ptr<CaptureStream> PulseAudioInput::record(const std::string& source,
                                                       const PcmFormat& format,
                                                       bool voiceProcessing,
                                                       std::uint32_t framesPerBuffer,
                                                       BufferHandler onBuffer) {
  std::string problem;
  PulseMainLoop* loop = connected(problem);
  if (!loop) throw std::runtime_error(problem);
  return std::make_unique<PulseCaptureStream>(*loop, source, format, voiceProcessing,
                                              framesPerBuffer, std::move(onBuffer),
                                              [this] { notify(); });
}

int PulseAudioInput::watch(std::function<void()> changed) {
  std::string problem;
  connected(problem);  // the subscription starts with the connection
  std::lock_guard guard(mutex_);
  int token = nextToken_++;
  watchers_[token] = std::move(changed);
  return token;
}

void PulseAudioInput::unwatch(int token) {
  std::lock_guard guard(mutex_);
  watchers_.erase(token);
}
