#pragma once

#include <chrono>
#include <stdexcept>
#include <string>

// A failed question to the session bus, with the bus library's numeric error code.
class AppBusError : public std::runtime_error {
 public:
  AppBusError(int code, const std::string& message) : std::runtime_error(message), code(code) {}
  int code;
};

// The session bus as the registry of running applications: a running GApplication owns its
// application id there. Exists so tests can replace it.
class AppBus {
 public:
  virtual ~AppBus() = default;

  // True when some process owns the name. Throws AppBusError when the bus cannot be asked.
  virtual bool hasOwner(const std::string& name) = 0;
  // Asks the bus to start the service of that name (D-Bus activation), waiting at most `limit`
  // for its answer. False when the bus knows no such service or the start failed.
  virtual bool activate(const std::string& name, std::chrono::milliseconds limit) = 0;
};
