// Start-up cost of one-shot commands, against programs that do the same job, measured in turns in
// one run so both see the same machine load: the median wall time of each, start to exit.
// Targets: the binary's own dependencies are only the C and C++ runtime; a usage error costs at
// most 3x /bin/true; device-id, permission microphone, audio-route and mic-users cost at most
// what `pactl info` does, and `secret get` at most what `secret-tool lookup` does for one item.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Program {
  std::string label;
  std::vector<std::string> argv;
  std::vector<double> millis;

  double median() {
    std::sort(millis.begin(), millis.end());
    return millis.empty() ? 0 : millis[millis.size() / 2];
  }
};

// Runs the program to its end with standard input, output and error on /dev/null (or `input`
// piped in); returns the wall time in milliseconds, or -1 when it did not exit with `status`.
double timeRun(const std::vector<std::string>& argv, int status = -2, const char* input = nullptr) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int pipeEnds[2] = {-1, -1};
  if (input && ::pipe(pipeEnds) == 0) {
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[0], 0);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
  } else {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  auto started = std::chrono::steady_clock::now();
  pid_t pid = -1;
  int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (input && pipeEnds[0] >= 0) {
    ::close(pipeEnds[0]);
    (void)!::write(pipeEnds[1], input, std::char_traits<char>::length(input));
    ::close(pipeEnds[1]);
  }
  if (spawned != 0) return -1;
  int wstatus = 0;
  ::waitpid(pid, &wstatus, 0);
  double took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                          started).count();
  if (status != -2 && (!WIFEXITED(wstatus) || WEXITSTATUS(wstatus) != status)) return -1;
  return took;
}

std::string whereIs(const char* name) {
  for (const char* folder : {"/usr/bin/", "/bin/", "/usr/local/bin/"}) {
    std::string path = std::string(folder) + name;
    if (::access(path.c_str(), X_OK) == 0) return path;
  }
  return name;
}

// The NEEDED entries of the binary, through readelf.
std::vector<std::string> neededLibraries(const std::string& binary) {
  std::vector<std::string> libraries;
  std::string command = "readelf -d '" + binary + "'";
  FILE* out = ::popen(command.c_str(), "r");
  if (!out) return libraries;
  std::array<char, 512> line{};
  while (std::fgets(line.data(), line.size(), out)) {
    std::string text(line.data());
    auto open = text.find("(NEEDED)");
    auto from = text.find('[');
    auto to = text.find(']');
    if (open != std::string::npos && from != std::string::npos && to > from) {
      libraries.push_back(text.substr(from + 1, to - from - 1));
    }
  }
  ::pclose(out);
  return libraries;
}

bool isRuntime(const std::string& library) {
  // The C library's loader is part of it: a binary with the C++ library linked in names it.
  for (const char* runtime : {"libc.so", "libstdc++.so", "libm.so", "libgcc_s.so", "ld-linux"}) {
    if (library.rfind(runtime, 0) == 0) return true;
  }
  return false;
}

const char* verdict(bool met) { return met ? "met" : "MISSED"; }

}  // namespace

int main() {
  const std::string vesk = VESK_BINARY;
  bool allMet = true;

  std::printf("dependencies of the binary:");
  bool runtimeOnly = true;
  for (const auto& library : neededLibraries(vesk)) {
    std::printf(" %s", library.c_str());
    runtimeOnly = runtimeOnly && isRuntime(library);
  }
  std::printf("\n  only the C and C++ runtime: %s\n", verdict(runtimeOnly));
  allMet = allMet && runtimeOnly;

  const std::string item = "bench-startup-item";
  if (timeRun({vesk, "secret", "set", item}, 0, "startup value") < 0) {
    std::printf("could not store the benchmark's keyring item; is the keyring running?\n");
    return 1;
  }

  std::vector<Program> programs{
      {"/bin/true", {whereIs("true")}, {}},
      {"usage error", {vesk}, {}},
      {"pactl info", {whereIs("pactl"), "info"}, {}},
      {"device-id", {vesk, "device-id"}, {}},
      {"permission microphone", {vesk, "permission", "microphone"}, {}},
      {"audio-route", {vesk, "audio-route"}, {}},
      {"mic-users", {vesk, "mic-users"}, {}},
      {"secret-tool lookup",
       {whereIs("secret-tool"), "lookup", "service", "com.quorvel.vesk", "account", item},
       {}},
      {"secret get", {vesk, "secret", "get", item}, {}},
  };
  // Each turn runs the programs in a new order. A program that starts right after another one's
  // exit runs a few per cent slower while the machine and the servers settle that exit, so a
  // fixed order would always charge the same programs for it.
  constexpr int WARM = 5, TURNS = 200;
  std::vector<Program*> order;
  for (auto& program : programs) order.push_back(&program);
  std::mt19937 shuffler(8);
  for (int turn = 0; turn < WARM + TURNS; ++turn) {
    std::shuffle(order.begin(), order.end(), shuffler);
    for (Program* program : order) {
      double took = timeRun(program->argv);
      if (turn >= WARM && took >= 0) program->millis.push_back(took);
    }
  }
  timeRun({vesk, "secret", "clear", item});

  auto find = [&](const std::string& label) -> Program& {
    return *std::find_if(programs.begin(), programs.end(),
                         [&](const Program& p) { return p.label == label; });
  };
  for (auto& program : programs) {
    std::printf("%-24s %7.2f ms (median of %zu)\n", program.label.c_str(), program.median(),
                program.millis.size());
  }
  auto compare = [&](const std::string& ours, const std::string& peer, double most) {
    double ratio = find(ours).median() / find(peer).median();
    bool met = ratio <= most;
    allMet = allMet && met;
    std::printf("  %s / %s = %.2fx (target at most %.1fx): %s\n", ours.c_str(), peer.c_str(),
                ratio, most, verdict(met));
  };
  compare("usage error", "/bin/true", 3.0);
  for (const char* command : {"device-id", "permission microphone", "audio-route", "mic-users"}) {
    compare(command, "pactl info", 1.0);
  }
  compare("secret get", "secret-tool lookup", 1.0);
  std::printf("start-up targets: %s\n", allMet ? "all met" : "some MISSED");
  return 0;
}
