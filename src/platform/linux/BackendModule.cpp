#include "platform/linux/BackendModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <stdexcept>

BackendModule::BackendModule(std::string name, std::string package,
                             std::vector<std::string> folders, Unavailable unavailable)
    : name_(std::move(name)),
      package_(std::move(package)),
      folders_(std::move(folders)),
      unavailable_(std::move(unavailable)) {}

std::vector<std::string> BackendModule::foldersBeside(const std::string& binary) {
  // The folder above a path ("/" above "/x" and above "/").
  auto above = [](const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
  };
  if (binary.find('/') == std::string::npos) return {};
  const std::string folder = above(binary);
  const std::string prefix = above(folder);
  return {folder, (prefix == "/" ? "" : prefix) + "/lib/vesk-native"};
}

void* BackendModule::entry(const char* symbol) {
  void* handle = load();
  ::dlerror();
  void* address = ::dlsym(handle, symbol);
  if (!address) {
    const char* why = ::dlerror();
    refuse(std::string("it has no entry point ") + symbol + (why ? std::string(": ") + why : ""));
  }
  return address;
}

void* BackendModule::load() {
  std::lock_guard lock(mutex_);
  if (handle_) return handle_;
  std::string tried;
  for (const auto& folder : folders_) {
    const std::string file = folder + "/" + fileName();
    if (::access(file.c_str(), F_OK) != 0) {
      tried += (tried.empty() ? "" : ", ") + folder;
      continue;
    }
    // A missing library shows here already; binding each function only when it is first called
    // spares a command the relocation of every symbol of the library's own dependencies.
    handle_ = ::dlopen(file.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!handle_) {
      const char* why = ::dlerror();
      refuse(why ? why : "the loader gave no reason");
    }
    return handle_;
  }
  refuse("it is in none of " + tried);
}

void BackendModule::refuse(const std::string& reason) {
  std::string message = "Could not load the module " + fileName() + " (" + reason +
                        "). It needs the Debian package " + package_ + ".";
  unavailable_(message);
  // unavailable_ ends the process; should it come back, the caller must not go on.
  throw std::runtime_error(message);
}
