// The entry points of this backend module.
#include "platform/linux/pulse/PulseAudioInput.h"
#include "platform/linux/pulse/PulseSoundServer.h"
#include "platform/linux/pulse/PulseSystemAudio.h"
#include "platform/linux/ModuleEntry.h"

VESK_MODULE_ENTRY(SoundServer, PulseSoundServer)
VESK_MODULE_ENTRY(AudioInput, PulseAudioInput)
VESK_MODULE_ENTRY(SystemAudio, PulseSystemAudio)
