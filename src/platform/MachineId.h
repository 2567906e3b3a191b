#pragma once

#include <array>
#include <cstdint>
#include <optional>

// A stable identifier of this machine for this program. Exists so tests can replace it.
class MachineId {
 public:
  using Bytes = std::array<std::uint8_t, 16>;

  virtual ~MachineId() = default;

  // The machine's identifier as seen by this program alone (derived from the machine id, never
  // the machine id itself); nothing when the machine has no id.
  virtual std::optional<Bytes> forThisProgram() = 0;
};
