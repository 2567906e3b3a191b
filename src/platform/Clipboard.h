#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One representation of the clipboard's contents: its type name and its bytes.
struct ClipboardFlavor {
  std::string type;
  std::string data;

  bool operator==(const ClipboardFlavor&) const = default;
};

// The desktop's clipboard as the bridge uses it: the contents one owner offers at a time, in
// several flavors. Exists so tests can replace it.
class Clipboard {
 public:
  virtual ~Clipboard() = default;

  // True when the desktop's clipboard can be reached this way.
  virtual bool available() { return true; }

  // True when some application offers contents now (even contents no one can read).
  virtual bool hasContents() = 0;
  // The types the contents are offered in, in the owner's order, without the protocol's own.
  virtual std::vector<std::string> types() = 0;
  // The contents in one type; nothing when the owner does not give it in time.
  virtual std::optional<std::string> read(const std::string& type) = 0;
  // Empties the clipboard.
  virtual void clear() = 0;
  // Makes the bridge the owner, offering these flavors for as long as it stays the owner.
  virtual void write(const std::vector<ClipboardFlavor>& flavors) = 0;
  // Grows by one with every change of owner or contents, the bridge's own included; a change
  // made by write() or clear() is counted before they return.
  virtual std::uint64_t changeCount() = 0;
  // The flavors plain text is offered in.
  virtual std::vector<ClipboardFlavor> textFlavors(const std::string& text) = 0;
  // The flavor that asks clipboard-history tools to leave an entry out.
  virtual ClipboardFlavor transientMarker() = 0;
  // Before the process ends: contents the bridge owns die with it, so a clipboard manager, where
  // the desktop runs one, is asked to keep them. Returns once it has, or after a short wait.
  virtual void keepAfterExit() = 0;
};
