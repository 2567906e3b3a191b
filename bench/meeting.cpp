// The built bridge in a meeting with both sides talking, through the test services: "me" is
// played into the virtual microphone, "them" into the default output. Measures the CPU time of
// the meeting against the bare decoder on the same audio (its peer), both sides talking at once
// and taking turns with pauses, the time from the end of a phrase on either side to its "line",
// the threads while both sides run, and the peak resident memory of a long meeting. The peer
// decodes what each side heard while the CPU was counted, silences included, as recorded from
// the same two sources; it is the decoder as the library ships it, and the same decoder with the
// meeting's settings, run flat out, is shown beside it. Each figure is printed with its target
// and with the figure of the meeting before this engine's batching and shared language model
// (measured with this program on the same machine).
// Usage: bench_meeting [minutes of the long meeting, 2 by default] [BINARY instead of this
// build's]. Run by `make bench`.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Quiet.h"
#include "StampedRun.h"
#include "platform/linux/pocketsphinx/PocketSphinxDecoder.h"
#include "platform/linux/pocketsphinx/PocketSphinxEngine.h"

namespace {

using Clock = StampedRun::Clock;
const std::string DATA = "/usr/share/pocketsphinx/test/data/";
const std::vector<std::string> MINE = {
    DATA + "librivox/sense_and_sensibility_01_austen_64kb-0870.wav",
    DATA + "librivox/sense_and_sensibility_01_austen_64kb-0890.wav"};
const std::vector<std::string> THEIRS = {
    DATA + "librivox/sense_and_sensibility_01_austen_64kb-0920.wav",
    DATA + "librivox/sense_and_sensibility_01_austen_64kb-0880.wav"};
std::string binary = VESK_BINARY;

// The meeting before this engine's batching and shared language model.
struct Before {
  const char* continuous = "0.80";
  const char* turns = "0.64";
  const char* latency = "332-355 ms";
  const char* threads = "10";
  const char* peak = "180.5 MB";
} BEFORE;

double cpuSecondsOfSelf() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The bare decoder on the samples, as the transcriber feeds it (0.1 s at a time, hypothesis
// asked after each piece).
void decodeBare(SpeechDecoder& decoder, const std::vector<std::int16_t>& samples) {
  decoder.startUtterance();
  for (std::size_t at = 0; at < samples.size(); at += 1600) {
    const std::size_t n = std::min<std::size_t>(1600, samples.size() - at);
    decoder.process(std::span<const std::int16_t>(samples.data() + at, n));
    decoder.hypothesis();
  }
  decoder.endUtterance();
}

int play(const std::string& sink, const std::string& file) {
  const bool raw = file.size() > 4 && file.substr(file.size() - 4) == ".raw";
  return std::system(("paplay --device=" + sink +
                      (raw ? " --raw --rate=16000 --channels=1 --format=s16le " : " ") + file)
                         .c_str());
}

// Records a source of the sound server as 16 kHz mono 16-bit samples while it lives: what one side
// of the meeting hears.
class SourceRecording {
 public:
  explicit SourceRecording(const std::string& source)
      : file_("/tmp/vesk-bench-heard-" + std::to_string(getpid()) + "-" + source + ".raw") {
    recorder_ = fork();
    if (recorder_ == 0) {
      execlp("parec", "parec", ("--device=" + source).c_str(), "--rate=16000", "--channels=1",
             "--format=s16le", "--raw", "--latency-msec=20", file_.c_str(),
             static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~SourceRecording() {
    stop();
    std::remove(file_.c_str());
  }
  // Ends the recording; its samples.
  std::vector<std::int16_t> samples() {
    stop();
    return samplesOf(file_);
  }

 private:
  void stop() {
    if (recorder_ <= 0) return;
    kill(recorder_, SIGTERM);
    waitpid(recorder_, nullptr, 0);
    recorder_ = -1;
  }
  std::string file_;
  pid_t recorder_ = -1;
};

// A meeting of both sides.
class Meeting : public StampedRun {
 public:
  Meeting() : StampedRun(binary, {"listen", "meeting", "both"}) { say("{\"id\":\"2026-01-01-000000\"}\n"); }
  ~Meeting() {
    say("stop\n");
    exited(std::chrono::seconds(10));
  }
  bool bothListening() {
    return when({"\"them\":true"}, Clock::now() - std::chrono::hours(1), std::chrono::seconds(20))
        .has_value();
  }
  // The names of the process's threads.
  std::vector<std::string> threads() const {
    std::vector<std::string> names;
    const std::string tasks = "/proc/" + std::to_string(pid()) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
      std::ifstream comm(task.path() / "comm");
      std::string name;
      std::getline(comm, name);
      names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

// The CPU one meeting used while both sides played, and what each side heard meanwhile.
struct Heard {
  double cpu = 0, wall = 0;
  std::vector<std::vector<std::int16_t>> sides;
};

std::optional<Heard> meetingOn(const std::function<void()>& playBoth) {
  Meeting meeting;
  if (!meeting.bothListening()) {
    std::printf("the meeting did not start with both sides\n");
    return std::nullopt;
  }
  SourceRecording mine("virtmic"), theirs("speakers.monitor");
  const double before = meeting.cpuSeconds();
  const auto began = Clock::now();
  playBoth();
  std::this_thread::sleep_for(std::chrono::seconds(2));  // the last phrases settle
  Heard heard;
  heard.cpu = meeting.cpuSeconds() - before;
  heard.wall = std::chrono::duration<double>(Clock::now() - began).count();
  heard.sides = {mine.samples(), theirs.samples()};
  return heard;
}

// The bare decoder over each side's sound (two decoders' work).
double bareCpu(const Heard& heard, const PocketSphinxDecoder::Tuning& tuning) {
  PocketSphinxDecoder decoder("/usr/share/pocketsphinx/model/en-us", "en-us", "en-us.lm.bin",
                              "cmudict-en-us.dict", tuning);
  const double start = cpuSecondsOfSelf();
  for (const auto& side : heard.sides) decodeBare(decoder, side);
  return cpuSecondsOfSelf() - start;
}

void printCpu(const char* what, const Heard& heard, const char* target, const char* before) {
  const double bare = bareCpu(heard, PocketSphinxDecoder::Tuning{});
  const double bareSame = bareCpu(heard, PocketSphinxDecoder::liveTuning());
  std::printf("%s: meeting CPU over %.1f s (%.1f s and %.1f s heard): %.2f s; bare decoder on what "
              "each side heard: %.2f s as shipped, ratio %.2f (target at most %s; before %s); "
              "%.2f s with the meeting's settings, ratio %.2f\n",
              what, heard.wall, heard.sides[0].size() / 16000.0, heard.sides[1].size() / 16000.0,
              heard.cpu, bare, heard.cpu / bare, target, before, bareSame, heard.cpu / bareSame);
}

// A conversation of the two sides taking turns, with a pause of PAUSE seconds between turns:
// one 16 kHz track per side, quiet while the other side talks. Returns the two files' paths.
std::pair<std::string, std::string> conversationTracks() {
  static constexpr std::size_t PAUSE = 16000 * 12 / 10;
  const std::vector<std::string> turns = {MINE[0], THEIRS[0], MINE[1], THEIRS[1],
                                          DATA + "librivox/sense_and_sensibility_01_austen_64kb-0930.wav"};
  std::vector<std::int16_t> tracks[2];
  for (std::size_t i = 0; i < turns.size(); ++i) {
    const auto said = samplesOf(turns[i]);
    auto& speaker = tracks[i % 2];
    auto& listener = tracks[1 - i % 2];
    speaker.insert(speaker.end(), said.begin(), said.end());
    listener.resize(speaker.size());
    speaker.resize(speaker.size() + PAUSE);
    listener.resize(speaker.size());
  }
  const std::string stem = "/tmp/vesk-bench-turns-" + std::to_string(getpid());
  const std::pair<std::string, std::string> files{stem + "-me.raw", stem + "-them.raw"};
  for (int side = 0; side < 2; ++side) {
    std::ofstream(side == 0 ? files.first : files.second, std::ios::binary)
        .write(reinterpret_cast<const char*>(tracks[side].data()),
               static_cast<std::streamsize>(tracks[side].size() * 2));
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("VESK_TEST_SERVICES")) {
    std::printf("the test services are not running: run through tests/services/with-services.sh\n");
    return 1;
  }
  double minutes = 2.0;
  for (int i = 1; i < argc; ++i) {
    if (std::isdigit(static_cast<unsigned char>(argv[i][0]))) {
      minutes = std::atof(argv[i]);
    } else {
      binary = argv[i];
    }
  }

  // Both sides talking at once, all the way.
  const auto continuous = meetingOn([] {
    for (std::size_t i = 0; i < MINE.size(); ++i) {
      std::thread them([i] { play("speakers", THEIRS[i]); });
      play("micfeed", MINE[i]);
      them.join();
    }
  });
  if (!continuous) return 1;
  printCpu("both sides at once", *continuous, "1.00", BEFORE.continuous);

  // The two sides taking turns, with pauses between them.
  const auto [myTrack, theirTrack] = conversationTracks();
  const auto turns = meetingOn([&myTrack, &theirTrack] {
    std::thread them([&theirTrack] { play("speakers", theirTrack); });
    play("micfeed", myTrack);
    them.join();
  });
  std::remove(myTrack.c_str());
  std::remove(theirTrack.c_str());
  if (!turns) return 1;
  printCpu("taking turns", *turns, "0.80", BEFORE.turns);

  // The end of a phrase on either side to its "line".
  for (const char* who : {"me", "them"}) {
    Meeting meeting;
    if (!meeting.bothListening()) return 1;
    const std::string file = DATA + "librivox/sense_and_sensibility_01_austen_64kb-0930.wav";
    const double quiet = trailingQuiet(samplesOf(file));
    for (int round = 1; round <= 2; ++round) {
      play(std::string(who) == "me" ? "micfeed" : "speakers", file);
      const auto ended = Clock::now() - std::chrono::duration_cast<Clock::duration>(
                                            std::chrono::duration<double>(quiet));
      auto line = meeting.when({"{\"kind\":\"line\"", std::string("\"who\":\"") + who + "\"}"}, ended - std::chrono::seconds(1),
                               std::chrono::seconds(10));
      if (!line) {
        std::printf("%s, round %d: no line\n", who, round);
        continue;
      }
      std::printf("end of a phrase of \"%s\" to its \"line\", round %d: %.0f ms (target at most "
                  "400; before %s)\n",
                  who, round, std::chrono::duration<double, std::milli>(*line - ended).count(),
                  BEFORE.latency);
      std::this_thread::sleep_for(std::chrono::seconds(1));
    }
  }

  // A long meeting with both sides talking all the way: resident memory over time.
  Meeting meeting;
  if (!meeting.bothListening()) return 1;
  std::atomic<bool> talking{true};
  auto talk = [&talking](const char* sink, const std::vector<std::string>& files) {
    for (std::size_t i = 0; talking; ++i) play(sink, files[i % files.size()]);
  };
  std::thread mine(talk, "micfeed", MINE), theirs(talk, "speakers", THEIRS);
  const auto began = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const auto threads = meeting.threads();
  std::string names;
  for (const auto& name : threads) names += (names.empty() ? "" : ", ") + name;
  std::printf("threads while both sides run: %zu (target at most 8; before %s): %s\n",
              threads.size(), BEFORE.threads, names.c_str());
  long atMinute = -1, peakAfterMinute = 0;
  while (Clock::now() - began < std::chrono::duration<double>(minutes * 60)) {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const long rss = meeting.memoryKb("VmRSS:");
    if (Clock::now() - began >= std::chrono::minutes(1)) {
      if (atMinute < 0) atMinute = rss;
      peakAfterMinute = std::max(peakAfterMinute, rss);
    }
  }
  talking = false;
  mine.join();
  theirs.join();
  std::printf("meeting of %.1f min, both sides talking: peak resident memory %.1f MB (target at "
              "most 130 MB; before %s); resident %.1f MB after the first minute, at most %.1f MB "
              "after it, %.1f MB at the end\n",
              minutes, meeting.memoryKb("VmHWM:") / 1024.0, BEFORE.peak, atMinute / 1024.0,
              peakAfterMinute / 1024.0, meeting.memoryKb("VmRSS:") / 1024.0);
  return 0;
}
