#pragma once

#include "main/Console.h"

// The real standard streams of this process.
class ProcessConsole final : public Console {
 public:
  static ProcessConsole& shared();

  void out(std::string_view bytes) override;
  void err(std::string_view bytes) override;
  [[noreturn]] void end(int status) override;
};
