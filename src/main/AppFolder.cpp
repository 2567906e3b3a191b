#include "main/AppFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

std::filesystem::path homeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return "/";
}

std::filesystem::path dataHome() {
  // An XDG_DATA_HOME that is not absolute is invalid and ignored, as the base-directory rules ask.
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') return xdg;
  return homeFolder() / ".local" / "share";
}

std::filesystem::path appFolder() { return dataHome() / "com.quorvel.vesk"; }
