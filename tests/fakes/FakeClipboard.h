#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/Clipboard.h"

// A clipboard in memory. Types in `unreadable` are offered but never given; an owner with
// contents but no flavors stands for contents no one can read.
class FakeClipboard final : public Clipboard {
 public:
  bool owned = false;
  std::vector<ClipboardFlavor> flavors;
  std::set<std::string> unreadable;
  std::uint64_t changes = 0;
  std::vector<std::string> calls;  // "clear", "write", in order
  bool reachable = true;

  bool available() override { return reachable; }

  // Another application takes the clipboard.
  void copyElsewhere(std::vector<ClipboardFlavor> offered) {
    owned = true;
    flavors = std::move(offered);
    ++changes;
  }
  std::string text() const {
    for (const auto& flavor : flavors) {
      if (flavor.type == "UTF8_STRING") return flavor.data;
    }
    return "";
  }
  bool marked() const {
    for (const auto& flavor : flavors) {
      if (flavor.type == transientType()) return true;
    }
    return false;
  }
  static std::string transientType() { return "x-kde-passwordManagerHint"; }

  bool hasContents() override { return owned; }
  std::vector<std::string> types() override {
    std::vector<std::string> names;
    for (const auto& flavor : flavors) names.push_back(flavor.type);
    return names;
  }
  std::optional<std::string> read(const std::string& type) override {
    if (unreadable.count(type)) return std::nullopt;
    for (const auto& flavor : flavors) {
      if (flavor.type == type) return flavor.data;
    }
    return std::nullopt;
  }
  void clear() override {
    calls.push_back("clear");
    owned = false;
    flavors.clear();
    ++changes;
  }
  void write(const std::vector<ClipboardFlavor>& offered) override {
    calls.push_back("write");
    owned = true;
    flavors = offered;
    ++changes;
  }
  std::uint64_t changeCount() override { return changes; }
  std::vector<ClipboardFlavor> textFlavors(const std::string& text) override {
    return {{"UTF8_STRING", text}, {"STRING", text}};
  }
  ClipboardFlavor transientMarker() override { return {transientType(), "secret"}; }
  void keepAfterExit() override { calls.push_back("keep"); }
};
