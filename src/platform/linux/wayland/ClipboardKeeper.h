#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clipboard.h"

// Keeps clipboard contents alive after the bridge ends. On Wayland the contents die with the
// client that offers them, and no protocol hands them to a clipboard manager, so the bridge's
// last contents (the user's own, put back after a paste, or words left for the user) are given to
// wl-copy, which serves them from a process of its own until something else is copied.
// wl-copy serves one type: plain text where the contents have it, else their first type.
//
// Threads: any; no state.
class ClipboardKeeper {
 public:
  // The flavor kept of these contents; nothing for contents only in flight to a paste (marked
  // transient), or empty ones.
  static std::optional<ClipboardFlavor> kept(const std::vector<ClipboardFlavor>& flavors);
  // Starts wl-copy (found on PATH, never through a shell) with the flavor and waits, up to the
  // limit, for it to have taken the contents. False when it cannot be started or does not.
  static bool keep(const ClipboardFlavor& flavor, std::chrono::milliseconds limit);
};
