#pragma once

#include <memory>

#include "platform/Accessibility.h"
#include "platform/AudioConverters.h"
#include "platform/AudioInput.h"
#include "platform/Desktop.h"
#include "platform/SoundServer.h"
#include "platform/SpeechEngine.h"
#include "platform/SyntheticInput.h"
#include "platform/SystemSounds.h"

// Every operating-system service the program uses, one interface each.
// main() fills it with the real backends; tests fill it with fakes.
// Backends connect lazily, so building one costs nothing until a command uses it.
struct Platform {
  std::unique_ptr<SoundServer> soundServer;
  std::unique_ptr<Accessibility> accessibility;
  std::unique_ptr<SyntheticInput> syntheticInput;
  std::unique_ptr<Desktop> desktop;
  std::unique_ptr<SystemSounds> systemSounds;
  std::unique_ptr<AudioInput> audioInput;
  std::unique_ptr<SpeechEngine> speechEngine;
  std::unique_ptr<AudioConverters> audioConverters;
};
