#pragma once

#include "platform/PcmBuffer.h"

// The RMS above which a buffer counts as real sound (about -46 dBFS).
inline constexpr float DICTATE_SOUND_LEVEL = 0.005f;

// Whether a buffer carries more than near-silence: the RMS of channel 0 of a float buffer
// above DICTATE_SOUND_LEVEL. Buffers in other sample types count as sound when they have frames.
// Quick and allocation-free, for the capture thread.
bool isRealSound(const PcmBuffer& buffer);
