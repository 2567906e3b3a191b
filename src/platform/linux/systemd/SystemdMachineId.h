#pragma once

#include "platform/MachineId.h"

// The machine id through libsystemd, hashed with this program's own application id so the
// machine id itself never leaves the machine.
class SystemdMachineId : public MachineId {
 public:
  std::optional<Bytes> forThisProgram() override;
};
