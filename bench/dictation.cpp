// The built bridge dictating through the virtual microphone of the test services, measured as
// the parent app sees it:
//   - the time from the last speech sample played into the microphone to its "line", and the
//     words right, on the book-reading recordings in one hold dictation;
//   - the process CPU of a whole `listen dictate mic-keep` on one recording of them all, over the
//     CPU of the bare decoder, as the library ships it, on the very sound the dictation heard (a
//     peer measured in the same run);
//   - the peak resident memory of a two-minute hold-keep dictation, beside the bare decoder's;
//   - in hold modes, the time from the process start to the first captured buffer.
// Each figure is printed with its target and with the figure of the dictation before this
// engine's batching and shared language model, measured with this same program on the same
// machine.
// Run by `make bench`, which starts the services.
//   bench_dictation [--quick] [BINARY]: BINARY instead of this build's (the one before gives the
//   "before" figures); --quick measures only the latency, the words and the CPU.
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
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Recordings.h"
#include "listening/engine/WrittenText.h"
#include "platform/linux/pocketsphinx/PocketSphinxDecoder.h"

namespace {

using Clock = std::chrono::steady_clock;
const std::string DATA = RECORDINGS_FOLDER;
std::string binary = VESK_BINARY;

// One vesk-native run with stdin held open and every stdout line stamped as it arrives.
class Dictation {
 public:
  explicit Dictation(const std::string& mode) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC)) std::exit(1);
    began_ = Clock::now();
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      execl(binary.c_str(), binary.c_str(), "listen", "dictate", mode.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    in_ = in[1];
    reader_ = std::thread([this, fd = out[0]] {
      std::string pending;
      std::vector<char> buffer(1 << 20);
      for (ssize_t n; (n = read(fd, buffer.data(), buffer.size())) > 0;) {
        const auto now = Clock::now();
        pending.append(buffer.data(), static_cast<std::size_t>(n));
        std::lock_guard guard(mutex_);
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
          lines_.emplace_back(now, pending.substr(0, end));
          pending.erase(0, end + 1);
        }
      }
      close(fd);
    });
  }
  ~Dictation() {
    if (!exited_) kill(pid_, SIGKILL);
    waitExit();
    close(in_);
  }
  Clock::time_point began() const { return began_; }
  void say(const std::string& word) {
    const std::string line = word + "\n";
    if (write(in_, line.data(), line.size()) < 0) std::perror("write");
  }
  // When the first line of the kind came, waiting up to the limit.
  std::optional<Clock::time_point> when(const std::string& kind, std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
      for (const auto& [at, line] : lines(kind)) return at;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
  }
  std::vector<std::pair<Clock::time_point, std::string>> lines(const std::string& kind) {
    const std::string prefix = "{\"kind\":\"" + kind + "\"";
    std::lock_guard guard(mutex_);
    std::vector<std::pair<Clock::time_point, std::string>> found;
    for (const auto& entry : lines_) {
      if (entry.second.rfind(prefix, 0) == 0) found.push_back(entry);
    }
    return found;
  }
  // Peak resident memory so far, in kB.
  long peakKb() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return -1;
  }
  bool running() {
    if (exited_) return false;
    if (wait4(pid_, nullptr, WNOHANG, &usage_) == pid_) exited_ = true;
    return !exited_;
  }
  void waitExit() {
    if (!exited_) wait4(pid_, nullptr, 0, &usage_);
    exited_ = true;
    if (reader_.joinable()) reader_.join();
  }
  // User and system CPU of the whole process, once it has exited.
  double cpuSeconds() const {
    return usage_.ru_utime.tv_sec + usage_.ru_utime.tv_usec / 1e6 + usage_.ru_stime.tv_sec +
           usage_.ru_stime.tv_usec / 1e6;
  }

 private:
  Clock::time_point began_;
  pid_t pid_ = -1;
  int in_ = -1;
  bool exited_ = false;
  rusage usage_{};
  std::thread reader_;
  std::mutex mutex_;
  std::vector<std::pair<Clock::time_point, std::string>> lines_;
};

// Plays a recording into the virtual microphone; returns when its last sample has been played.
void play(const Recording& recording) {
  std::string command = "paplay --device=micfeed ";
  if (recording.file.size() > 4 && recording.file.substr(recording.file.size() - 4) == ".raw") {
    command += "--raw --rate=16000 --channels=1 --format=s16le ";
  }
  if (std::system((command + DATA + recording.file).c_str()) != 0) std::printf("paplay failed\n");
}

// Seconds of near-silence at the end of a recording: its last speech sample is that long before
// its end.
double trailingQuiet(const std::string& path) {
  const auto samples = samplesOf(path);
  std::size_t last = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (std::abs(samples[i]) > 1000) last = i;
  }
  return static_cast<double>(samples.size() - last) / 16000.0;
}

std::string textOf(const std::string& line) {
  const std::string key = "\"text\":\"";
  const auto at = line.find(key);
  if (at == std::string::npos) return "";
  return line.substr(at + key.size(), line.find('"', at + key.size()) - at - key.size());
}

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The peer: a process that loads the decoder and decodes audio as fast as it can, one utterance
// per recording. Its CPU and peak memory, from the kernel.
struct Peer {
  double cpuSeconds = 0;
  double peakMb = 0;
};

Peer bareDecoder(const PocketSphinxDecoder::Tuning& tuning,
                 const std::vector<std::vector<std::int16_t>>& audio) {
  const pid_t child = fork();
  if (child == 0) {
    PocketSphinxDecoder decoder("/usr/share/pocketsphinx/model/en-us", "en-us", "en-us.lm.bin",
                                "cmudict-en-us.dict", tuning);
    for (const auto& samples : audio) {
      decoder.startUtterance();
      for (std::size_t at = 0; at < samples.size(); at += 2048) {
        decoder.process(std::span(samples).subspan(at, std::min<std::size_t>(2048, samples.size() - at)));
      }
      decoder.endUtterance();
    }
    _exit(0);
  }
  rusage usage{};
  wait4(child, nullptr, 0, &usage);
  return {usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
              usage.ru_stime.tv_usec / 1e6,
          usage.ru_maxrss / 1024.0};
}

std::vector<std::vector<std::int16_t>> recordedAudio() {
  std::vector<std::vector<std::int16_t>> audio;
  for (const auto& recording : recordings()) audio.push_back(samplesOf(DATA + recording.file));
  return audio;
}

// The samples of the WAV file in a "sound" line (Base64, "/" written as "\/").
std::vector<std::int16_t> keptSamples(const std::string& line) {
  static const std::string ALPHABET =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const std::string key = "\"wav\":\"";
  std::string bytes;
  std::uint32_t bits = 0;
  int count = 0;
  for (std::size_t i = line.find(key) + key.size(); i < line.size() && line[i] != '"'; ++i) {
    const auto at = ALPHABET.find(line[i]);
    if (at == std::string::npos) continue;  // the escaping backslashes and the "=" fill
    bits = bits << 6 | static_cast<std::uint32_t>(at);
    if (++count == 4) {
      for (int shift : {16, 8, 0}) bytes += static_cast<char>(bits >> shift & 0xff);
      bits = 0;
      count = 0;
    }
  }
  if (count == 3) bytes += {static_cast<char>(bits >> 10 & 0xff), static_cast<char>(bits >> 2 & 0xff)};
  if (count == 2) bytes += static_cast<char>(bits >> 4 & 0xff);
  std::vector<std::int16_t> samples(bytes.size() > 44 ? (bytes.size() - 44) / 2 : 0);
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
  return samples;
}

// The dictation before, measured with this program on this machine.
struct Before {
  const char* latency = "median 0.22 s, worst 0.34 s";
  const char* words = "60 of 75";
  const char* cpu = "0.63x";
  const char* memory = "96.8 MB";
  const char* holdStart = "41 ms";
} BEFORE;

void latencyAndWords() {
  Dictation held("hold");
  if (!held.when("listening", std::chrono::seconds(15))) {
    std::printf("no listening line\n");
    return;
  }
  std::vector<double> latencies;
  int right = 0, spoken = 0;
  for (const auto& recording : recordings()) {
    const auto started = Clock::now();
    play(recording);
    const auto speechEnded = Clock::now() - std::chrono::duration_cast<Clock::duration>(
                                                std::chrono::duration<double>(trailingQuiet(DATA + recording.file)));
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    std::string heard;
    std::optional<Clock::time_point> last;
    for (const auto& [at, line] : held.lines("line")) {
      if (at < started) continue;
      heard += textOf(line) + " ";
      last = at;
    }
    // The dictation writes its words ("10 meters"): so is what was said.
    const int words = wordsMatched(
        WrittenText::of(recording.words, false, WrittenText::SpokenMarks::BecomeMarks), heard);
    right += words;
    spoken += wordCount(recording.words);
    if (last) latencies.push_back(ms(*last - speechEnded));
    std::printf("  %-58s end of speech to \"line\" %6.0f ms, words %2d of %2d: %s\n",
                recording.file.c_str(), last ? ms(*last - speechEnded) : -1.0, words,
                wordCount(recording.words), heard.c_str());
  }
  held.say("cancel");
  held.waitExit();
  std::sort(latencies.begin(), latencies.end());
  const double median = latencies.empty() ? -1 : latencies[latencies.size() / 2] / 1000.0;
  const double worst = latencies.empty() ? -1 : latencies.back() / 1000.0;
  std::printf("end of speech to \"line\": median %.2f s, worst %.2f s (target at most 0.40 s; "
              "before %s)\n",
              median, worst, BEFORE.latency);
  std::printf("words right on the recordings: %d of %d (target at least 56; before %s)\n", right,
              spoken, BEFORE.words);
}

// One dictation of the joined recording and its peers: the bare decoder as the library ships it
// (the figure with the target), and the bare decoder with the dictation's own settings, run flat
// out, which shows what decoding live costs over decoding a file at full speed.
struct CpuRatios {
  double shipped = -1;
  double sameSettings = -1;
};

CpuRatios cpuRatios(const std::string& joined, double played) {
  Dictation dictation("mic-keep");
  if (!dictation.when("listening", std::chrono::seconds(15))) return {};
  const std::string command =
      "paplay --device=micfeed --raw --rate=16000 --channels=1 --format=s16le " + joined;
  if (std::system(command.c_str()) != 0) std::printf("paplay failed\n");
  dictation.waitExit();
  const auto sound = dictation.lines("sound");
  if (sound.empty()) return {};
  const auto heard = keptSamples(sound.front().second);
  const Peer shipped = bareDecoder(PocketSphinxDecoder::Tuning{}, {heard});
  const Peer same = bareDecoder(PocketSphinxDecoder::liveTuning(), {heard});
  const double used = dictation.cpuSeconds();
  std::printf("  listen dictate mic-keep on %.1f s of the recordings (%.1f s heard): %.2f s of CPU; "
              "bare decoder on the sound it heard: %.2f s as shipped (%.2fx), %.2f s with the "
              "dictation's settings (%.2fx)\n",
              played, heard.size() / 16000.0, used, shipped.cpuSeconds, used / shipped.cpuSeconds,
              same.cpuSeconds, used / same.cpuSeconds);
  return {used / shipped.cpuSeconds, used / same.cpuSeconds};
}

void cpu() {
  // One recording of them all, with a short pause after each, so the quiet ends the dictation
  // only at its end. The peers decode exactly what the dictation heard: the sound it kept. On a
  // shared machine one run varies by a third: the median of three is the figure.
  std::vector<std::int16_t> all;
  for (const auto& samples : recordedAudio()) {
    all.insert(all.end(), samples.begin(), samples.end());
    all.insert(all.end(), 16000 * 3 / 10, 0);
  }
  const std::string joined = "/tmp/vesk-bench-recordings-" + std::to_string(getpid()) + ".raw";
  std::ofstream(joined, std::ios::binary)
      .write(reinterpret_cast<const char*>(all.data()), static_cast<std::streamsize>(all.size() * 2));
  std::vector<double> shipped, same;
  for (int round = 0; round < 3; ++round) {
    const auto ratios = cpuRatios(joined, all.size() / 16000.0);
    shipped.push_back(ratios.shipped);
    same.push_back(ratios.sameSettings);
  }
  std::remove(joined.c_str());
  std::sort(shipped.begin(), shipped.end());
  std::sort(same.begin(), same.end());
  std::printf("process CPU of a whole dictation over the bare decoder's on the same sound: median "
              "%.2fx of 3 (target at most 1.10x; before %s); over the same decoder with the "
              "dictation's settings run flat out: %.2fx\n",
              shipped[1], BEFORE.cpu, same[1]);
}

void holdStart() {
  // The kept sound starts with the first captured buffer and ends with the stop: the process
  // start to the first buffer is what the recording lacks of the process's life until the stop.
  std::vector<double> starts;
  for (int round = 0; round < 3; ++round) {
    Dictation held("hold-keep");
    if (!held.when("listening", std::chrono::seconds(15))) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const auto stopped = Clock::now();
    held.say("stop");
    held.waitExit();
    const auto sound = held.lines("sound");
    if (sound.empty()) return;
    const std::string& line = sound.front().second;
    const std::size_t base64 = line.size() - std::strlen("{\"kind\":\"sound\",\"wav\":\"\"}") -
                               static_cast<std::size_t>(std::count(line.begin(), line.end(), '\\'));
    const double seconds = (base64 / 4.0 * 3.0 - 44) / 32000.0;
    starts.push_back(ms(stopped - held.began()) - seconds * 1000.0);
  }
  std::sort(starts.begin(), starts.end());
  std::printf("hold-keep: process start to the first captured buffer %.0f ms (median of 3; target "
              "at most 150 ms; before %s)\n",
              starts[1], BEFORE.holdStart);
}

void memory(const Peer& peer) {
  // Two minutes of hold-keep with speech all the way: the cap ends it, with the kept sound.
  Dictation held("hold-keep");
  if (!held.when("listening", std::chrono::seconds(15))) return;
  const auto began = Clock::now();
  std::atomic<bool> talking{true};
  std::thread talker([&] {
    for (std::size_t i = 1; talking; ++i) play(recordings()[i % recordings().size()]);
  });
  long peak = 0;
  while (held.running() && Clock::now() - began < std::chrono::seconds(150)) {
    peak = std::max(peak, held.peakKb());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  talking = false;
  talker.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
  held.waitExit();
  const auto sound = held.lines("sound");
  std::printf("hold-keep dictation of %.0f s: peak resident memory %.1f MB (target at most 90 MB; "
              "before %s); the bare decoder's peak %.1f MB; \"sound\" line of %.2f MB\n",
              seconds, peak / 1024.0, BEFORE.memory, peer.peakMb,
              sound.empty() ? 0.0 : sound.front().second.size() / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) {
      quick = true;
    } else {
      binary = argv[i];
    }
  }
  if (!std::getenv("VESK_TEST_SERVICES")) {
    std::printf("the test services are not running: run through tests/services/with-services.sh\n");
    return 1;
  }
  latencyAndWords();
  cpu();
  if (quick) return 0;
  holdStart();
  memory(bareDecoder(PocketSphinxDecoder::liveTuning(), recordedAudio()));
  return 0;
}
