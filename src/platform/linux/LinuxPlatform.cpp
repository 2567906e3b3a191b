#include "platform/linux/LinuxPlatform.h"

#include "platform/linux/canberra/SoundThemeSounds.h"
#include "platform/linux/ecal/EdsEventStore.h"
#include "platform/linux/gio/GioAccessibility.h"
#include "platform/linux/gio/GioDesktop.h"
#include "platform/linux/pulse/PulseSoundServer.h"
#include "platform/linux/x11/X11SyntheticInput.h"

Platform makeLinuxPlatform() {
  Platform platform;
  platform.soundServer = std::make_unique<PulseSoundServer>();
  platform.accessibility = std::make_unique<GioAccessibility>();
  platform.syntheticInput = std::make_unique<X11SyntheticInput>();
  platform.desktop = std::make_unique<GioDesktop>();
  platform.systemSounds = std::make_unique<SoundThemeSounds>();
  platform.eventStore = std::make_unique<EdsEventStore>();
  return platform;
}
