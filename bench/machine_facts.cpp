// Cost of one pass of the microphone-user watch against the running sound server, and whether
// the watch's memory stays flat over many passes; cost of the memory command's process walk.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "main/machine/MachineCommands.h"
#include "platform/Platform.h"
#include "platform/linux/procfs/ProcfsProcesses.h"
#include "platform/linux/pulse/PulseSoundServer.h"

namespace {

// This process's resident set in KiB, from /proc/self/status.
long residentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

double millisPer(std::chrono::steady_clock::duration total, int count) {
  return std::chrono::duration<double, std::milli>(total).count() / count;
}

}  // namespace

int main() {
  Platform platform;
  platform.soundServer.reset(new PulseSoundServer);
  platform.processes.reset(new ProcfsProcesses);
  micUsers(platform);  // the first connection loads what the library needs
  constexpr int WARM = 50, PASSES = 500;
  for (int i = 0; i < WARM; ++i) micUsers(platform);
  long before = residentKiB();
  auto started = std::chrono::steady_clock::now();
  std::size_t users = 0;
  for (int i = 0; i < PASSES; ++i) users += micUsers(platform).size();
  auto took = std::chrono::steady_clock::now() - started;
  long after = residentKiB();
  std::printf("mic-users pass: %.2f ms (%d passes, %zu users seen)\n", millisPer(took, PASSES),
              PASSES, users);
  std::printf("resident memory over those passes: %ld KiB -> %ld KiB\n", before, after);

  constexpr int WALKS = 50;
  started = std::chrono::steady_clock::now();
  std::size_t records = 0;
  for (int i = 0; i < WALKS; ++i) {
    if (auto found = memoryRecords(*platform.processes)) records += found->size();
  }
  std::printf("memory walk of /proc: %.2f ms (%d walks, %zu records)\n",
              millisPer(std::chrono::steady_clock::now() - started, WALKS), WALKS, records);
  return 0;
}
