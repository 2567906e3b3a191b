#pragma once

#include <memory>

#include "platform/Accessibility.h"
#include "platform/AppBus.h"
#include "platform/AppCatalog.h"
#include "platform/AudioConverters.h"
#include "platform/AudioInput.h"
#include "platform/Desktop.h"
#include "platform/IconRenderer.h"
#include "platform/SecretStore.h"
#include "platform/EventStore.h"
#include "platform/BackupExclusion.h"
#include "platform/Desktop.h"
#include "platform/MachineId.h"
#include "platform/MediaPlayers.h"
#include "platform/Processes.h"
#include "platform/SoundServer.h"
#include "platform/SpeechEngine.h"
#include "platform/SyntheticInput.h"
#include "platform/SystemSounds.h"
#include "platform/WindowList.h"

// Every operating-system service the program uses, one interface each.
// main() fills it with the real backends; tests fill it with fakes.
// Backends connect lazily, so building one costs nothing until a command uses it.
struct Platform {
  std::unique_ptr<SoundServer> soundServer;
  std::unique_ptr<Accessibility> accessibility;
  std::unique_ptr<SyntheticInput> syntheticInput;
  std::unique_ptr<Desktop> desktop;
  std::unique_ptr<SystemSounds> systemSounds;
  std::unique_ptr<SecretStore> secretStore;
  std::unique_ptr<AppCatalog> appCatalog;
  std::unique_ptr<WindowList> windowList;
  std::unique_ptr<IconRenderer> iconRenderer;
  std::unique_ptr<AppBus> appBus;
  std::unique_ptr<EventStore> eventStore;
  std::unique_ptr<MediaPlayers> mediaPlayers;
  std::unique_ptr<Processes> processes;
  std::unique_ptr<MachineId> machineId;
  std::unique_ptr<BackupExclusion> backupExclusion;
  std::unique_ptr<AudioInput> audioInput;
  std::unique_ptr<SpeechEngine> speechEngine;
  std::unique_ptr<AudioConverters> audioConverters;
};
