// The built bridge in a meeting with both sides talking, through the test services: "me" is
// played into the virtual microphone, "them" into the default output. Measures the CPU time of
// the meeting against twice the bare decoder on the same audio (its peer), the time from the end
// of a phrase on either side to its "line", and the resident memory of a long meeting. The peer
// decodes what each side heard while the CPU was counted, silences between phrases included, as
// recorded from the same two sources; it is the decoder as the library ships it, and the same
// decoder with the meeting's settings, run flat out, is shown beside it.
// Usage: bench_meeting [minutes of the long meeting, 10 by default]. Run by `make bench`.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
  return std::system(("paplay --device=" + sink + " " + file).c_str());
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
  Meeting() : StampedRun({"listen", "meeting", "both"}) { say("{\"id\":\"2026-01-01-000000\"}\n"); }
  ~Meeting() {
    say("stop\n");
    exited(std::chrono::seconds(10));
  }
  bool bothListening() {
    return when({"\"them\":true"}, Clock::now() - std::chrono::hours(1), std::chrono::seconds(20))
        .has_value();
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("VESK_TEST_SERVICES")) {
    std::printf("the test services are not running: run through tests/services/with-services.sh\n");
    return 1;
  }
  const double minutes = argc > 1 ? std::atof(argv[1]) : 10.0;

  // The meeting: both sides talking at once, each side's sound recorded as it heard it.
  double used = 0, wall = 0;
  std::vector<std::vector<std::int16_t>> heard;
  {
    Meeting meeting;
    if (!meeting.bothListening()) {
      std::printf("the meeting did not start with both sides\n");
      return 1;
    }
    SourceRecording mine("virtmic"), theirs("speakers.monitor");
    const double before = meeting.cpuSeconds();
    const auto began = Clock::now();
    for (std::size_t i = 0; i < MINE.size(); ++i) {
      std::thread them([i] { play("speakers", THEIRS[i]); });
      play("micfeed", MINE[i]);
      them.join();
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));  // the last phrases settle
    used = meeting.cpuSeconds() - before;
    wall = std::chrono::duration<double>(Clock::now() - began).count();
    heard = {mine.samples(), theirs.samples()};
  }

  // The peers: the bare decoder over each side's sound (two decoders' work), as the library ships
  // it (the figure with the target) and with the meeting's own settings.
  auto bareCpu = [&heard](const PocketSphinxDecoder::Tuning& tuning) {
    PocketSphinxDecoder decoder("/usr/share/pocketsphinx/model/en-us", "en-us", "en-us.lm.bin",
                                "cmudict-en-us.dict", tuning);
    const double start = cpuSecondsOfSelf();
    for (const auto& side : heard) decodeBare(decoder, side);
    return cpuSecondsOfSelf() - start;
  };
  const double bare = bareCpu(PocketSphinxDecoder::Tuning{});
  const double bareSame = bareCpu(PocketSphinxDecoder::liveTuning());
  std::printf("meeting CPU over %.1f s (%.1f s and %.1f s heard): %.2f s; bare decoder on what "
              "each side heard: %.2f s as shipped, ratio %.2f (target at most 1.10); %.2f s with "
              "the meeting's settings, ratio %.2f\n",
              wall, heard[0].size() / 16000.0, heard[1].size() / 16000.0, used, bare, used / bare,
              bareSame, used / bareSame);

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
                  "400)\n",
                  who, round, std::chrono::duration<double, std::milli>(*line - ended).count());
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
  std::printf("meeting of %.1f min, both sides talking: resident memory %.1f MB after the first "
              "minute, at most %.1f MB after it, %.1f MB at the end (peak %.1f MB)\n",
              minutes, atMinute / 1024.0, peakAfterMinute / 1024.0, meeting.memoryKb("VmRSS:") / 1024.0,
              meeting.memoryKb("VmHWM:") / 1024.0);
  return 0;
}
