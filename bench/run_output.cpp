// Cost of the shared output paths: event lines from two threads, and run-log appends, each of
// which waits until its line is on disk.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "base/LineWriter.h"
#include "base/RunLog.h"
#include "base/Console.h"

namespace {

class NullConsole final : public Console {
 public:
  NullConsole() : fd_(::open("/dev/null", O_WRONLY)) {}
  void out(std::string_view bytes) override { (void)!::write(fd_, bytes.data(), bytes.size()); }
  void err(std::string_view) override {}
  [[noreturn]] void end(int status) override { ::_exit(status); }

 private:
  int fd_;
};

double microsPer(std::chrono::steady_clock::duration total, int count) {
  return std::chrono::duration<double, std::micro>(total).count() / count;
}

}  // namespace

int main() {
  NullConsole console;
  LineWriter writer(console);
  constexpr int LINES = 20000;
  auto started = std::chrono::steady_clock::now();
  auto many = [&writer] {
    for (int i = 0; i < LINES / 2; ++i) {
      writer.write("partial", {{"who", "me"}, {"text", "go forward ten meters"}, {"n", i}});
    }
  };
  std::thread a(many), b(many);
  a.join();
  b.join();
  std::printf("event line, 2 threads: %.2f us per line (%d lines)\n",
              microsPer(std::chrono::steady_clock::now() - started, LINES), LINES);

  auto folder = std::filesystem::temp_directory_path() / "vesk-bench-log";
  std::filesystem::remove_all(folder);
  RunLog log(folder / "bench.log", console);
  constexpr int APPENDS = 300;
  started = std::chrono::steady_clock::now();
  for (int i = 0; i < APPENDS; ++i) log.append("heard", "a phrase", {{"n", i}, {"who", "me"}});
  std::printf("run-log append (synchronised to disk): %.1f us per line (%d lines)\n",
              microsPer(std::chrono::steady_clock::now() - started, APPENDS), APPENDS);
  std::filesystem::remove_all(folder);
  return 0;
}
