#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

// One backend module (vesk-<name>.so), loaded the first time one of its entry points is asked
// for and kept for the life of the process. A module that is missing or cannot load (its library
// is not installed) ends the command through `unavailable`, with a message that names the module
// and the Debian package that provides its library.
// Any thread may ask for an entry point; mutex_ guards handle_.
class BackendModule {
 public:
  // Ends the command; called with the message when the module cannot be loaded.
  using Unavailable = std::function<void(const std::string& message)>;

  BackendModule(std::string name, std::string package, std::vector<std::string> folders,
                Unavailable unavailable);
  BackendModule(const BackendModule&) = delete;
  BackendModule& operator=(const BackendModule&) = delete;

  // The address of the module's entry point `symbol`, loading the module first if needed.
  void* entry(const char* symbol);

  // The folders beside a binary at the absolute path `binary` where its modules may be: the
  // binary's own folder, then ../lib/vesk-native from it (the installed layout). None for a
  // path without a folder.
  static std::vector<std::string> foldersBeside(const std::string& binary);

  // The file name of the module, for example vesk-pulse.so.
  std::string fileName() const { return "vesk-" + name_ + ".so"; }

 private:
  void* load();
  [[noreturn]] void refuse(const std::string& reason);

  const std::string name_;
  const std::string package_;
  const std::vector<std::string> folders_;
  const Unavailable unavailable_;
  std::mutex mutex_;
  void* handle_ = nullptr;
};
