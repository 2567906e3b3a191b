#include "platform/linux/LinuxPlatform.h"

#include <limits.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "platform/linux/BackendModule.h"
#include "platform/linux/SessionChoice.h"

#ifndef VESK_MODULE_DIR
#define VESK_MODULE_DIR "/usr/local/lib/vesk-native"
#endif

namespace {

// Each backend module and the Debian package that provides the library it wraps. A module the
// program can do without (optional) does not end the command when it cannot be loaded: the
// service's maker throws instead.
struct ModuleSource {
  const char* name;
  const char* package;
  bool optional = false;
};
constexpr ModuleSource MODULES[] = {
    {"pulse", "libpulse0"},
    {"pocketsphinx", "libpocketsphinx3"},
    {"soxr", "libsoxr0"},
    {"speexdsp", "libspeexdsp1", true},
    {"gio", "libglib2.0-0"},
    {"ecal", "libecal-2.0-2"},
    {"gdkpixbuf", "libgdk-pixbuf-2.0-0"},
    {"libsecret", "libsecret-1-0"},
    {"canberra", "libcanberra0"},
    {"systemd", "libsystemd0"},
    {"x11", "libxtst6"},
    {"atspi", "libatspi2.0-0"},
    {"wayland", "libwayland-client0"},
    {"evdev", "libevdev2"},
    {"swayipc", "libc6"},
    {"procfs", "libc6"},
    {"xattr", "libc6"},
};

// Where modules are looked for: beside the running binary, then the folder it was installed
// with. The binary's path comes from readlink(2): std::filesystem's path handling touches nearly a
// tenth of a millisecond of fresh code at every start.
std::vector<std::string> moduleFolders() {
  std::vector<std::string> folders;
  char binary[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", binary, sizeof binary);
  if (length > 0 && static_cast<std::size_t>(length) < sizeof binary) {
    folders = BackendModule::foldersBeside(std::string(binary, static_cast<std::size_t>(length)));
  }
  folders.emplace_back(VESK_MODULE_DIR);
  return folders;
}

using Modules = std::map<std::string, std::unique_ptr<BackendModule>>;

// Gives `slot` a maker that calls the module's entry point veskMake<Interface>.
template <class T>
void attach(OnDemand<T>& slot, const std::shared_ptr<Modules>& modules, const char* module,
            const char* entry) {
  slot.makeWith([modules, module, entry] {
    auto make = reinterpret_cast<T* (*)()>(modules->at(module)->entry(entry));
    return std::unique_ptr<T>(make());
  });
}

// Where the backend of each mechanism of hold-to-talk lives: its module and entry point.
struct Way {
  std::string_view mechanism;
  const char* module;
  const char* entry;
};
constexpr Way WAYS[] = {
    {"xinput", "x11", "veskMakeInputMonitor"},
    {"evdev", "evdev", "veskMakeInputMonitor"},
    {"xtest", "x11", "veskMakeSyntheticInput"},
    {"virtual-keyboard", "wayland", "veskMakeVirtualKeyboard"},
    {"remote-desktop", "wayland", "veskMakeRemoteDesktop"},
    {"x11", "x11", "veskMakeClipboard"},
    {"data-control", "wayland", "veskMakeDataControl"},
    {"ewmh", "x11", "veskMakeWindowList"},
    {"sway", "swayipc", "veskMakeWindowList"},
    {"kwin", "gio", "veskMakeKWinWindows"},
    {"atspi", "atspi", "veskMakeAccessibleWindows"},
};

const Way& wayOf(const std::string& mechanism) {
  for (const Way& way : WAYS) {
    if (way.mechanism == mechanism) return way;
  }
  throw std::out_of_range("no backend for the mechanism " + mechanism);
}

// The session's backends of hold-to-talk as each is picked; mutex guards chosen.
struct LandingChoice {
  SessionChoice session = SessionChoice::fromEnvironment();
  std::mutex mutex;
  SessionBackends chosen;
};

// Gives `slot` a maker that tries the session's mechanisms for `need` in order of preference and
// keeps the first whose backend is available, else the last one tried (which then answers as
// unavailable), and records which it was.
template <class T>
void attachChosen(OnDemand<T>& slot, const std::shared_ptr<Modules>& modules,
                  const std::shared_ptr<LandingChoice>& choice, LandingNeed need) {
  slot.makeWith([modules, choice, need] {
    std::unique_ptr<T> kept;
    const auto way = choice->session.pick(need, [&](const std::string& mechanism) {
      const Way& source = wayOf(mechanism);
      auto make = reinterpret_cast<T* (*)()>(modules->at(source.module)->entry(source.entry));
      kept.reset(make());
      return kept->available();
    });
    std::lock_guard lock(choice->mutex);
    choice->session.record(need, way, choice->chosen);
    return kept;
  });
}

}  // namespace

Platform makeLinuxPlatform(std::function<void(const std::string& message)> unavailable) {
  auto modules = std::make_shared<Modules>();
  auto folders = moduleFolders();
  for (const auto& source : MODULES) {
    // BackendModule throws its message once `unavailable` returns.
    const BackendModule::Unavailable refused =
        source.optional ? BackendModule::Unavailable([](const std::string&) {}) : unavailable;
    (*modules)[source.name] =
        std::make_unique<BackendModule>(source.name, source.package, folders, refused);
  }
  Platform platform;
  attach(platform.soundServer, modules, "pulse", "veskMakeSoundServer");
  attach(platform.audioInput, modules, "pulse", "veskMakeAudioInput");
  attach(platform.systemAudio, modules, "pulse", "veskMakeSystemAudio");
  attach(platform.speechEngine, modules, "pocketsphinx", "veskMakeSpeechEngine");
  attach(platform.audioConverters, modules, "soxr", "veskMakeAudioConverters");
  platform.echoCancellers.makeWith([modules] {
    EchoCancellers* (*make)() = nullptr;
    try {
      make = reinterpret_cast<EchoCancellers* (*)()>(
          modules->at("speexdsp")->entry("veskMakeEchoCancellers"));
    } catch (const std::runtime_error& refused) {
      throw EchoCancellers::Unavailable(refused.what());
    }
    return std::unique_ptr<EchoCancellers>(make());
  });
  attach(platform.accessibility, modules, "gio", "veskMakeAccessibility");
  attach(platform.desktop, modules, "gio", "veskMakeDesktop");
  attach(platform.appCatalog, modules, "gio", "veskMakeAppCatalog");
  attach(platform.appBus, modules, "gio", "veskMakeAppBus");
  attach(platform.mediaPlayers, modules, "gio", "veskMakeMediaPlayers");
  attach(platform.sleepNotice, modules, "gio", "veskMakeSleepNotice");
  attach(platform.eventStore, modules, "ecal", "veskMakeEventStore");
  attach(platform.iconRenderer, modules, "gdkpixbuf", "veskMakeIconRenderer");
  attach(platform.secretStore, modules, "libsecret", "veskMakeSecretStore");
  attach(platform.systemSounds, modules, "canberra", "veskMakeSystemSounds");
  attach(platform.machineId, modules, "systemd", "veskMakeMachineId");
  auto choice = std::make_shared<LandingChoice>();
  attachChosen(platform.inputMonitor, modules, choice, LandingNeed::Keys);
  attachChosen(platform.syntheticInput, modules, choice, LandingNeed::Paste);
  attachChosen(platform.clipboard, modules, choice, LandingNeed::Clipboard);
  attachChosen(platform.windowList, modules, choice, LandingNeed::Front);
  platform.sessionBackends = [choice] {
    std::lock_guard lock(choice->mutex);
    return choice->chosen;
  };
  attach(platform.focusReader, modules, "atspi", "veskMakeFocusReader");
  attach(platform.processes, modules, "procfs", "veskMakeProcesses");
  attach(platform.backupExclusion, modules, "xattr", "veskMakeBackupExclusion");
  return platform;
}
