#pragma once

#include "platform/MachineId.h"

class FakeMachineId final : public MachineId {
 public:
  std::optional<Bytes> id = Bytes{0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef,
                                  0xfe, 0xdc, 0xba, 0x98, 0x76, 0x54, 0x32, 0x10};
  std::optional<Bytes> forThisProgram() override { return id; }
};
