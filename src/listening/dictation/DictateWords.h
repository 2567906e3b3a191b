#pragma once

#include <optional>
#include <string>

// Quiet that ends a dictation in the modes "mic" and "mic-keep", and in "talk".
inline constexpr double DICTATE_QUIET_SECONDS = 1.5;
inline constexpr double DICTATE_TALK_QUIET_SECONDS = 0.8;

// The quiet seconds of a dictation mode word; none for a word that is not a mode.
// The hold modes never end on quiet (positive infinity).
std::optional<double> dictateQuietSeconds(const std::string& mode);
