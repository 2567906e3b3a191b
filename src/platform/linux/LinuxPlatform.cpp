#include "platform/linux/LinuxPlatform.h"

#include "platform/linux/canberra/SoundThemeSounds.h"
#include "platform/linux/gdkpixbuf/PixbufIconRenderer.h"
#include "platform/linux/gio/GioAppBus.h"
#include "platform/linux/gio/GioAppCatalog.h"
#include "platform/linux/ecal/EdsEventStore.h"
#include "platform/linux/gio/GioAccessibility.h"
#include "platform/linux/gio/GioDesktop.h"
#include "platform/linux/libsecret/LibsecretStore.h"
#include "platform/linux/gio/MprisMediaPlayers.h"
#include "platform/linux/procfs/ProcfsProcesses.h"
#include "platform/linux/pulse/PulseSoundServer.h"
#include "platform/linux/systemd/SystemdMachineId.h"
#include "platform/linux/pocketsphinx/PocketSphinxEngine.h"
#include "platform/linux/pulse/PulseAudioInput.h"
#include "platform/linux/pulse/PulseSoundServer.h"
#include "platform/linux/soxr/SoxrConverters.h"
#include "platform/linux/x11/X11SyntheticInput.h"
#include "platform/linux/x11/X11WindowList.h"
#include "platform/linux/xattr/XattrBackupExclusion.h"

Platform makeLinuxPlatform() {
  Platform platform;
  platform.soundServer = std::make_unique<PulseSoundServer>();
  platform.accessibility = std::make_unique<GioAccessibility>();
  platform.syntheticInput = std::make_unique<X11SyntheticInput>();
  platform.desktop = std::make_unique<GioDesktop>();
  platform.systemSounds = std::make_unique<SoundThemeSounds>();
  platform.secretStore = std::make_unique<LibsecretStore>();
  platform.appCatalog = std::make_unique<GioAppCatalog>();
  platform.windowList = std::make_unique<X11WindowList>();
  platform.iconRenderer = std::make_unique<PixbufIconRenderer>();
  platform.appBus = std::make_unique<GioAppBus>();
  platform.eventStore = std::make_unique<EdsEventStore>();
  platform.mediaPlayers = std::make_unique<MprisMediaPlayers>();
  platform.processes = std::make_unique<ProcfsProcesses>();
  platform.machineId = std::make_unique<SystemdMachineId>();
  platform.backupExclusion = std::make_unique<XattrBackupExclusion>();
  platform.audioInput = std::make_unique<PulseAudioInput>();
  platform.speechEngine = std::make_unique<PocketSphinxEngine>();
  platform.audioConverters = std::make_unique<SoxrConverters>();
  return platform;
}
