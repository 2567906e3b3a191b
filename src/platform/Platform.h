#pragma once

#include <functional>

#include "platform/OnDemand.h"

#include "platform/Accessibility.h"
#include "platform/AppBus.h"
#include "platform/AppCatalog.h"
#include "platform/AudioConverters.h"
#include "platform/AudioInput.h"
#include "platform/Clipboard.h"
#include "platform/Desktop.h"
#include "platform/EchoCancellers.h"
#include "platform/IconRenderer.h"
#include "platform/SecretStore.h"
#include "platform/SessionBackends.h"
#include "platform/SleepNotice.h"
#include "platform/SystemAudio.h"
#include "platform/EventStore.h"
#include "platform/FocusReader.h"
#include "platform/BackupExclusion.h"
#include "platform/InputMonitor.h"
#include "platform/MachineId.h"
#include "platform/MediaPlayers.h"
#include "platform/Processes.h"
#include "platform/SoundServer.h"
#include "platform/SpeechEngine.h"
#include "platform/SyntheticInput.h"
#include "platform/SystemSounds.h"
#include "platform/WindowList.h"

// Every operating-system service the program uses, one interface each.
// main() gives each service a maker that loads its backend module the first time a command uses
// it, so a command pays only for the libraries it needs; tests fill it with fakes.
struct Platform {
  OnDemand<SoundServer> soundServer;
  OnDemand<Accessibility> accessibility;
  OnDemand<SyntheticInput> syntheticInput;
  OnDemand<Desktop> desktop;
  OnDemand<SystemSounds> systemSounds;
  OnDemand<SecretStore> secretStore;
  OnDemand<AppCatalog> appCatalog;
  OnDemand<WindowList> windowList;
  OnDemand<IconRenderer> iconRenderer;
  OnDemand<AppBus> appBus;
  OnDemand<EventStore> eventStore;
  OnDemand<MediaPlayers> mediaPlayers;
  OnDemand<Processes> processes;
  OnDemand<MachineId> machineId;
  OnDemand<BackupExclusion> backupExclusion;
  OnDemand<AudioInput> audioInput;
  OnDemand<SpeechEngine> speechEngine;
  OnDemand<AudioConverters> audioConverters;
  // Throws EchoCancellers::Unavailable from each use while its module cannot be loaded.
  OnDemand<EchoCancellers> echoCancellers;
  OnDemand<SystemAudio> systemAudio;
  OnDemand<SleepNotice> sleepNotice;
  OnDemand<InputMonitor> inputMonitor;
  OnDemand<Clipboard> clipboard;
  OnDemand<FocusReader> focusReader;
  // Which mechanism the keyboard watch, synthetic input, clipboard and window list slots were
  // made with, for those already made (unset in tests).
  std::function<SessionBackends()> sessionBackends;
};
