#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

// One request and its reply on sway's IPC socket (i3's framing: "i3-ipc", payload length and
// message type as native 32-bit integers, then the JSON payload). Every request opens its own
// connection, and connecting, sending and reading the reply all fit within one time limit.
// Threads: any; it keeps no state beyond its settings.
class SwayIpcClient {
 public:
  static constexpr std::uint32_t GET_TREE = 4;
  static constexpr std::uint32_t GET_VERSION = 7;
  // A reply larger than this is not sway's.
  static constexpr std::uint32_t MAX_REPLY = 64u << 20;

  SwayIpcClient(std::string socketPath, std::chrono::milliseconds limit);

  // The reply's payload; nothing when the socket does not answer in time or answers nonsense.
  std::optional<std::string> request(std::uint32_t type, const std::string& payload = "") const;

 private:
  std::string socketPath_;
  std::chrono::milliseconds limit_;
};
