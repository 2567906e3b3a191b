#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

// What /proc says of a window's process, for the window lists of every display server.

// The process's program file, "" when unknown.
inline std::string executableOf(long pid) {
  std::error_code error;
  auto target = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
  return error ? "" : target.string();
}

// The desktop entry GIO recorded when it launched this very process.
inline std::string launchedEntryOf(long pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::string entry;
  std::string launcherPid;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    std::string_view item(all.data() + start, end - start);
    constexpr std::string_view FILE_KEY = "GIO_LAUNCHED_DESKTOP_FILE=";
    constexpr std::string_view PID_KEY = "GIO_LAUNCHED_DESKTOP_FILE_PID=";
    if (item.starts_with(FILE_KEY)) entry = item.substr(FILE_KEY.size());
    if (item.starts_with(PID_KEY)) launcherPid = item.substr(PID_KEY.size());
    start = end + 1;
  }
  return launcherPid == std::to_string(pid) ? entry : "";
}
