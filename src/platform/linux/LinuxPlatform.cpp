#include "platform/linux/LinuxPlatform.h"

#include "platform/linux/canberra/SoundThemeSounds.h"
#include "platform/linux/gio/GioAccessibility.h"
#include "platform/linux/gio/GioDesktop.h"
#include "platform/linux/pocketsphinx/PocketSphinxEngine.h"
#include "platform/linux/pulse/PulseAudioInput.h"
#include "platform/linux/pulse/PulseSoundServer.h"
#include "platform/linux/soxr/SoxrConverters.h"
#include "platform/linux/x11/X11SyntheticInput.h"

Platform makeLinuxPlatform() {
  Platform platform;
  platform.soundServer = std::make_unique<PulseSoundServer>();
  platform.accessibility = std::make_unique<GioAccessibility>();
  platform.syntheticInput = std::make_unique<X11SyntheticInput>();
  platform.desktop = std::make_unique<GioDesktop>();
  platform.systemSounds = std::make_unique<SoundThemeSounds>();
  platform.audioInput = std::make_unique<PulseAudioInput>();
  platform.speechEngine = std::make_unique<PocketSphinxEngine>();
  platform.audioConverters = std::make_unique<SoxrConverters>();
  return platform;
}
