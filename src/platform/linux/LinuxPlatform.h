#pragma once

#include <functional>
#include <string>

#include "platform/Platform.h"

// The real services of a Linux desktop. Each service's backend is a module (vesk-<library>.so)
// loaded the first time a command uses the service, from beside the binary, from ../lib/vesk-native
// next to it, or from the folder the program was installed with. When a module cannot be loaded,
// `unavailable` receives the message and ends the command.
Platform makeLinuxPlatform(std::function<void(const std::string& message)> unavailable);
