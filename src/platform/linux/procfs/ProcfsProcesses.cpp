#include "platform/linux/procfs/ProcfsProcesses.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace {

// A whole small file, or nothing when it cannot be read.
std::optional<std::string> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

std::optional<long long> parseNumber(std::string_view text) {
  long long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string_view trim(std::string_view text) {
  auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// "Name" of a desktop file path, without folders and without ".desktop".
std::string desktopIdOfPath(std::string_view path) {
  auto slash = path.rfind('/');
  if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
  constexpr std::string_view SUFFIX = ".desktop";
  if (path.size() > SUFFIX.size() && path.ends_with(SUFFIX)) path.remove_suffix(SUFFIX.size());
  return std::string(path);
}

// systemd writes "-" inside a unit-name part as "\x2d" (and other bytes alike).
std::string unescapeUnitPart(std::string_view text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
      unsigned value = 0;
      auto [end, ec] = std::from_chars(text.data() + i + 2, text.data() + i + 4, value, 16);
      if (ec == std::errc{} && end == text.data() + i + 4) {
        plain += static_cast<char>(value);
        i += 3;
        continue;
      }
    }
    plain += text[i];
  }
  return plain;
}

}  // namespace

ProcfsProcesses::ProcfsProcesses(std::string root) : root(std::move(root)) {}

std::string ProcfsProcesses::processFile(int pid, const char* name) const {
  return root + "/" + std::to_string(pid) + "/" + name;
}

int ProcfsProcesses::self() { return static_cast<int>(::getpid()); }

int ProcfsProcesses::parentOfSelf() { return static_cast<int>(::getppid()); }

std::optional<ProcfsProcesses::Entry> ProcfsProcesses::parseStat(const std::string& line) {
  // "<pid> (<comm>) <state> <ppid> ...": the name may hold spaces and ")" itself, so it ends at
  // the last ")".
  auto open = line.find(" (");
  auto close = line.rfind(") ");
  if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
  auto pid = parseNumber(std::string_view(line).substr(0, open));
  std::istringstream rest(line.substr(close + 2));
  std::string state, parent;
  if (!(rest >> state >> parent)) return std::nullopt;
  auto parentPid = parseNumber(parent);
  if (!pid || !parentPid) return std::nullopt;
  return Entry{static_cast<int>(*pid), static_cast<int>(*parentPid),
               line.substr(open + 2, close - open - 2)};
}

std::optional<std::vector<ProcfsProcesses::Entry>> ProcfsProcesses::all() {
  std::error_code error;
  std::filesystem::directory_iterator folder(root, error);
  if (error) return std::nullopt;
  std::vector<Entry> entries;
  for (const auto& item : folder) {
    auto pid = parseNumber(item.path().filename().string());
    if (!pid || *pid <= 0) continue;
    // A process may end between the listing and the read: it is simply not there.
    auto stat = readFile(item.path().string() + "/stat");
    if (!stat) continue;
    if (auto entry = parseStat(*stat)) entries.push_back(std::move(*entry));
  }
  if (entries.empty()) return std::nullopt;  // not a process file system
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.pid < b.pid; });
  return entries;
}

std::optional<std::uint64_t> ProcfsProcesses::parsePss(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.starts_with("Pss:")) continue;
    std::istringstream fields(line.substr(4));
    std::uint64_t kibibytes = 0;
    std::string unit;
    if (!(fields >> kibibytes >> unit) || unit != "kB") return std::nullopt;
    return kibibytes * 1024;
  }
  return std::nullopt;
}

std::optional<std::uint64_t> ProcfsProcesses::proportionalSetSize(int pid) {
  auto text = readFile(processFile(pid, "smaps_rollup"));
  if (!text) return std::nullopt;
  return parsePss(*text);
}

std::string ProcfsProcesses::appIdOfUnit(const std::string& unit) {
  // Desktop applications run in units named "app[-<launcher>]-<id>-<random>.scope" or
  // "app[-<launcher>]-<id>[@<random>].service"; application ids hold dots, launchers do not.
  std::string_view name = unit;
  if (!name.starts_with("app-")) return "";
  name.remove_prefix(4);
  if (name.ends_with(".scope")) {
    name.remove_suffix(6);
    auto dash = name.rfind('-');
    if (dash == std::string_view::npos) return "";
    name = name.substr(0, dash);
  } else if (name.ends_with(".service")) {
    name.remove_suffix(8);
    name = name.substr(0, name.find('@'));
  } else {
    return "";
  }
  auto dash = name.find('-');
  if (dash != std::string_view::npos && name.substr(0, dash).find('.') == std::string_view::npos)
    name.remove_prefix(dash + 1);  // the launcher
  if (name.find('.') == std::string_view::npos) return "";
  return unescapeUnitPart(name);
}

std::string ProcfsProcesses::desktopEntryOf(int pid) {
  if (pid <= 0) return "";
  // A sandboxed application carries its id in the sandbox's description.
  if (auto info = readFile(processFile(pid, "root/.flatpak-info"))) {
    std::istringstream lines(*info);
    std::string line;
    bool application = false;
    while (std::getline(lines, line)) {
      auto text = trim(line);
      if (text.starts_with("["))
        application = text == "[Application]";
      else if (application && text.starts_with("name="))
        return std::string(trim(text.substr(5)));
    }
  }
  // Desktops start each application in a systemd unit named after it.
  if (auto cgroups = readFile(processFile(pid, "cgroup"))) {
    std::istringstream lines(*cgroups);
    std::string line;
    while (std::getline(lines, line)) {
      auto path = std::string_view(line);
      auto slash = path.rfind('/');
      if (slash == std::string_view::npos) continue;
      if (auto id = appIdOfUnit(std::string(path.substr(slash + 1))); !id.empty()) return id;
    }
  }
  // GIO names the desktop file it launched, for the process it launched.
  if (auto environment = readFile(processFile(pid, "environ"))) {
    std::string file;
    std::optional<long long> launchedPid;
    std::istringstream entries(*environment);
    std::string entry;
    while (std::getline(entries, entry, '\0')) {
      if (entry.starts_with("GIO_LAUNCHED_DESKTOP_FILE="))
        file = entry.substr(26);
      else if (entry.starts_with("GIO_LAUNCHED_DESKTOP_FILE_PID="))
        launchedPid = parseNumber(std::string_view(entry).substr(30));
    }
    if (!file.empty() && (!launchedPid || *launchedPid == pid)) return desktopIdOfPath(file);
  }
  return "";
}
