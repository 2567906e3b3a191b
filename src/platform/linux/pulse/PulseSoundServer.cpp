#include "platform/linux/pulse/PulseSoundServer.h"

#include <cstdint>
#include <cstdlib>
#include <cctype>
#include <memory>
#include <set>
#include <string>

#include "platform/linux/pulse/PulseConnection.h"

namespace {

using Access = SoundServer::Access;

Access accessOf(PulseConnection::Outcome outcome) {
  return outcome == PulseConnection::Outcome::Refused ? Access::Refused : Access::Absent;
}

// Whether the server lets us open a record stream on the source: the real test of
// "may we record it", which also catches servers that filter what a client may see.
Access tryRecording(PulseConnection& connection, const std::string& source) {
  struct StreamFree {
    void operator()(pa_stream* stream) const {
      pa_stream_disconnect(stream);
      pa_stream_unref(stream);
    }
  };
  const pa_sample_spec spec{PA_SAMPLE_S16LE, 16000, 1};
  std::unique_ptr<pa_stream, StreamFree> stream(
      pa_stream_new(connection.context(), "access check", &spec, nullptr));
  if (!stream) return Access::Absent;
  if (pa_stream_connect_record(stream.get(), source.c_str(), nullptr, PA_STREAM_START_CORKED) <
      0) {
    return Access::Absent;
  }
  pa_stream* raw = stream.get();
  connection.runUntil([raw] {
    pa_stream_state_t state = pa_stream_get_state(raw);
    return state == PA_STREAM_READY || state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED;
  });
  if (pa_stream_get_state(raw) == PA_STREAM_READY) return Access::Allowed;
  return pa_context_errno(connection.context()) == PA_ERR_ACCESS ? Access::Refused
                                                                  : Access::Absent;
}

}  // namespace

SoundServer::Access PulseSoundServer::microphoneAccess() {
  PulseConnection connection("vesk-native");
  auto outcome = connection.connect();
  if (outcome != PulseConnection::Outcome::Connected) return accessOf(outcome);

  bool microphone = false;
  auto onSource = [](pa_context*, const pa_source_info* info, int eol, void* data) {
    if (eol == 0 && info && info->monitor_of_sink == PA_INVALID_INDEX) {
      *static_cast<bool*>(data) = true;
    }
  };
  // The default source is a microphone whenever the server has one, unless the user chose a
  // monitor: describing that one source costs the server far less than describing them all.
  connection.finish(pa_context_get_source_info_by_name(connection.context(), "@DEFAULT_SOURCE@",
                                                       onSource, &microphone));
  if (!microphone) {
    connection.finish(
        pa_context_get_source_info_list(connection.context(), onSource, &microphone));
  }
  return microphone ? Access::Allowed : Access::Absent;
}

SoundServer::Access PulseSoundServer::outputMonitorAccess() {
  PulseConnection connection("vesk-native");
  auto outcome = connection.connect();
  if (outcome != PulseConnection::Outcome::Connected) return accessOf(outcome);

  std::string sink;
  auto onServer = [](pa_context*, const pa_server_info* info, void* data) {
    if (info && info->default_sink_name) *static_cast<std::string*>(data) = info->default_sink_name;
  };
  connection.finish(pa_context_get_server_info(connection.context(), onServer, &sink));
  if (sink.empty()) return Access::Absent;

  std::string monitor;
  auto onSink = [](pa_context*, const pa_sink_info* info, int eol, void* data) {
    if (eol == 0 && info && info->monitor_source_name) {
      *static_cast<std::string*>(data) = info->monitor_source_name;
    }
  };
  connection.finish(
      pa_context_get_sink_info_by_name(connection.context(), sink.c_str(), onSink, &monitor));
  if (monitor.empty()) return Access::Absent;
  return tryRecording(connection, monitor);
}

bool PulseSoundServer::isHeadphonePort(int type, const char* name) {
  if (type == PA_DEVICE_PORT_TYPE_HEADPHONES || type == PA_DEVICE_PORT_TYPE_HEADSET) return true;
  // Drivers that leave the type unknown name their headphone jacks ("analog-output-headphones",
  // "[Out] Headphones").
  if (type != PA_DEVICE_PORT_TYPE_UNKNOWN || !name) return false;
  std::string lower(name);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.find("headphone") != std::string::npos || lower.find("headset") != std::string::npos;
}

std::vector<SoundServer::RecordStream> PulseSoundServer::recordStreams() {
  PulseConnection connection("vesk-native");
  if (connection.connect() != PulseConnection::Outcome::Connected) return {};

  // Both lists are asked for at once, so the answer costs one round trip to the server; the
  // monitors are only needed once both lists are in. They come from the outputs, each of which has
  // one: a shorter list than the sources, which are the monitors and the microphones.
  struct Listing {
    std::set<uint32_t> monitors;
    std::vector<RecordStream> streams;
    std::vector<uint32_t> sources;  // the source of each stream, in the order of streams
  } listing;
  auto onSink = [](pa_context*, const pa_sink_info* info, int eol, void* data) {
    if (eol == 0 && info && info->monitor_source != PA_INVALID_INDEX) {
      static_cast<Listing*>(data)->monitors.insert(info->monitor_source);
    }
  };
  auto onStream = [](pa_context*, const pa_source_output_info* info, int eol, void* data) {
    if (eol != 0 || !info) return;
    auto& listing = *static_cast<Listing*>(data);
    RecordStream stream;
    if (const char* id = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_ID)) {
      stream.applicationId = id;
    }
    if (const char* pid = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID)) {
      stream.processId = std::atoi(pid);
    }
    stream.corked = info->corked != 0;
    stream.fromClient = info->client != PA_INVALID_INDEX;
    listing.streams.push_back(std::move(stream));
    listing.sources.push_back(info->source);
  };
  pa_operation* sinks = pa_context_get_sink_info_list(connection.context(), onSink, &listing);
  pa_operation* outputs =
      pa_context_get_source_output_info_list(connection.context(), onStream, &listing);
  bool listed = connection.finish(sinks);
  if (!connection.finish(outputs) || !listed) return {};
  for (size_t i = 0; i < listing.streams.size(); ++i) {
    listing.streams[i].fromMonitor = listing.monitors.count(listing.sources[i]) > 0;
  }
  return std::move(listing.streams);
}

std::optional<SoundServer::Output> PulseSoundServer::defaultOutput() {
  PulseConnection connection("vesk-native");
  if (connection.connect() != PulseConnection::Outcome::Connected) return std::nullopt;

  // The server resolves its default sink itself: one question instead of two.
  std::optional<Output> output;
  auto onSink = [](pa_context*, const pa_sink_info* info, int eol, void* data) {
    if (eol != 0 || !info) return;
    Output found;
    if (const char* bus = pa_proplist_gets(info->proplist, PA_PROP_DEVICE_BUS)) found.bus = bus;
    if (const pa_sink_port_info* port = info->active_port) {
      found.headphonePort = PulseSoundServer::isHeadphonePort(port->type, port->name);
    }
    *static_cast<std::optional<Output>*>(data) = std::move(found);
  };
  connection.finish(
      pa_context_get_sink_info_by_name(connection.context(), "@DEFAULT_SINK@", onSink, &output));
  return output;
}
