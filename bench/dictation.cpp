// The built bridge dictating through the virtual microphone of the test services: the time from
// the end of speech to its "line" event, and the peak memory of a two-minute hold-keep dictation.
// Run by `make bench`, which starts the services.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const std::string DATA = "/usr/share/pocketsphinx/test/data/";

// One vesk-native run with stdin held open and every stdout line stamped as it arrives.
class Dictation {
 public:
  explicit Dictation(const std::string& mode) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC)) std::exit(1);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      execl(VESK_BINARY, VESK_BINARY, "listen", "dictate", mode.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    in_ = in[1];
    reader_ = std::thread([this, fd = out[0]] {
      std::string pending;
      char buffer[65536];
      for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
        const auto now = Clock::now();
        pending.append(buffer, static_cast<std::size_t>(n));
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
    kill(pid_, SIGKILL);
    waitExit();
    close(in_);
  }
  // When the first line of the kind came, waiting up to the limit.
  std::optional<Clock::time_point> when(const std::string& kind, std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    const std::string prefix = "{\"kind\":\"" + kind + "\"";
    while (Clock::now() < deadline) {
      {
        std::lock_guard guard(mutex_);
        for (const auto& [at, line] : lines_) {
          if (line.rfind(prefix, 0) == 0) return at;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
  }
  std::string text(const std::string& kind) {
    std::lock_guard guard(mutex_);
    const std::string prefix = "{\"kind\":\"" + kind + "\"";
    for (const auto& [at, line] : lines_) {
      if (line.rfind(prefix, 0) == 0) return line;
    }
    return "";
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
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) exited_ = true;
    return !exited_;
  }
  void waitExit() {
    if (!exited_) waitpid(pid_, nullptr, 0);
    exited_ = true;
    if (reader_.joinable()) reader_.join();
  }

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  bool exited_ = false;
  std::thread reader_;
  std::mutex mutex_;
  std::vector<std::pair<Clock::time_point, std::string>> lines_;
};

int play(const std::string& file, bool raw) {
  std::string command = "paplay --device=micfeed ";
  if (raw) command += "--raw --rate=16000 --channels=1 --format=s16le ";
  return std::system((command + file).c_str());
}

// Seconds of near-silence at the end of a 16 kHz mono 16-bit raw recording.
double trailingQuiet(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t count = bytes.size() / 2;
  std::size_t last = 0;
  for (std::size_t i = 0; i < count; ++i) {
    std::int16_t sample;
    std::memcpy(&sample, bytes.data() + 2 * i, 2);
    if (std::abs(sample) > 1000) last = i;
  }
  return static_cast<double>(count - last) / 16000.0;
}

}  // namespace

int main() {
  if (!std::getenv("VESK_TEST_SERVICES")) {
    std::printf("the test services are not running: run through tests/services/with-services.sh\n");
    return 1;
  }
  const std::string recording = DATA + "goforward.raw";
  const double quiet = trailingQuiet(recording);
  for (int round = 1; round <= 3; ++round) {
    Dictation dictation("mic");
    if (!dictation.when("listening", std::chrono::seconds(15))) return 1;
    play(recording, true);
    const auto speechEnded = Clock::now() - std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(quiet));
    auto line = dictation.when("line", std::chrono::seconds(10));
    if (!line) {
      std::printf("round %d: no line\n", round);
      continue;
    }
    std::printf("end of speech to \"line\", round %d: %.0f ms  %s\n", round,
                std::chrono::duration<double, std::milli>(*line - speechEnded).count(),
                dictation.text("line").c_str());
    dictation.waitExit();
  }

  // Two minutes of hold-keep with speech all the way: the cap ends it, with the kept sound.
  Dictation held("hold-keep");
  if (!held.when("listening", std::chrono::seconds(15))) return 1;
  const auto began = Clock::now();
  std::atomic<bool> talking{true};
  std::thread talker([&] {
    const std::vector<std::string> files = {
        DATA + "librivox/sense_and_sensibility_01_austen_64kb-0870.wav",
        DATA + "librivox/sense_and_sensibility_01_austen_64kb-0890.wav",
        DATA + "librivox/sense_and_sensibility_01_austen_64kb-0920.wav"};
    for (std::size_t i = 0; talking; ++i) play(files[i % files.size()], false);
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
  const std::string sound = held.text("sound");
  std::printf("hold-keep dictation of %.0f s: peak resident memory %.1f MB; \"sound\" line of %.2f MB\n",
              seconds, peak / 1024.0, sound.size() / 1e6);
  return 0;
}
