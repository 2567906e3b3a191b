#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "fakes/FakeEchoCancellers.h"
#include "fakes/FakeAppBus.h"
#include "fakes/FakeAppCatalog.h"
#include "fakes/FakeIconRenderer.h"
#include "fakes/FakeSecretStore.h"
#include "fakes/FakeWindowList.h"
#include "fakes/FakeEventStore.h"
#include "fakes/FakeBackupExclusion.h"
#include "fakes/FakeMachineId.h"
#include "fakes/FakeMediaPlayers.h"
#include "fakes/FakeProcesses.h"
#include "fakes/FakeAudioConverters.h"
#include "fakes/FakeAudioInput.h"
#include "fakes/FakeClipboard.h"
#include "fakes/FakeFocusReader.h"
#include "fakes/FakeInputMonitor.h"
#include "fakes/FakeSpeechEngine.h"
#include "fakes/FakeSystemAudio.h"
#include "platform/Platform.h"

class FakeSoundServer final : public SoundServer {
 public:
  std::atomic<Access> microphone{Access::Allowed};
  std::atomic<Access> monitor{Access::Allowed};
  std::atomic<int> monitorQuestions{0};

  Access microphoneAccess() override { return microphone; }
  Access outputMonitorAccess() override {
    ++monitorQuestions;
    return monitor;
  }

  std::vector<RecordStream> streams;
  std::optional<Output> output;
  std::vector<RecordStream> recordStreams() override { return streams; }
  std::optional<Output> defaultOutput() override { return output; }
};

class FakeAccessibility final : public Accessibility {
 public:
  bool on = false;
  int enableCalls = 0;

  bool enabled() override { return on; }
  void enable() override {
    ++enableCalls;
    on = true;
  }
};

class FakeSyntheticInput final : public SyntheticInput {
 public:
  bool display = true;
  PasteKeys keys{37, 50, 55, {}};
  std::vector<std::vector<KeyStep>> posted;
  bool available() override { return display; }
  std::optional<PasteKeys> pasteKeys() override {
    if (!display) return std::nullopt;
    return keys;
  }
  bool post(const std::vector<KeyStep>& steps) override {
    if (!display) return false;
    posted.push_back(steps);
    return true;
  }
};

class FakeDesktop final : public Desktop {
 public:
  int urlQuestions = 0;

  // Anything with a scheme counts as a URL here.
  bool isUrl(const std::string& text) override {
    ++urlQuestions;
    auto colon = text.find(':');
    return colon != std::string::npos && colon > 0;
  }
};

class FakeSystemSounds final : public SystemSounds {
 public:
  std::set<std::string> names{"bell", "Glass"};
  int existsQuestions = 0;
  bool exists(const std::string& name) override {
    ++existsQuestions;
    return names.count(name) > 0;
  }

  std::vector<std::string> played;
  std::chrono::milliseconds longestAsked{0};
  std::string failure;  // when set, play throws SoundFailure with it
  void play(const std::string& name, std::chrono::milliseconds longest) override {
    longestAsked = longest;
    if (!failure.empty()) throw SoundFailure(failure);
    played.push_back(name);
  }
};

// The computer going to sleep when the test says so.
class FakeSleepNotice final : public SleepNotice {
 public:
  void watch(std::function<void()> willSleep) override {
    std::lock_guard guard(mutex_);
    watchers_.push_back(std::move(willSleep));
  }
  void sleep() {
    std::vector<std::function<void()>> watchers;
    {
      std::lock_guard guard(mutex_);
      watchers = watchers_;
    }
    for (auto& willSleep : watchers) willSleep();
  }

 private:
  std::mutex mutex_;  // guards watchers_
  std::vector<std::function<void()>> watchers_;
};

// A platform of fakes, each reachable with its concrete type for arranging and checking.
struct FakePlatform {
  FakeSoundServer* soundServer;
  FakeAccessibility* accessibility;
  FakeSyntheticInput* syntheticInput;
  FakeDesktop* desktop;
  FakeSystemSounds* systemSounds;
  FakeSecretStore* secretStore;
  FakeAppCatalog* appCatalog;
  FakeWindowList* windowList;
  FakeIconRenderer* iconRenderer;
  FakeAppBus* appBus;
  FakeEventStore* eventStore;
  FakeMediaPlayers* mediaPlayers;
  FakeProcesses* processes;
  FakeMachineId* machineId;
  FakeBackupExclusion* backupExclusion;
  FakeAudioInput* audioInput;
  FakeSpeechEngine* speechEngine;
  FakeAudioConverters* audioConverters;
  FakeSystemAudio* systemAudio;
  FakeSleepNotice* sleepNotice;
  FakeInputMonitor* inputMonitor;
  FakeClipboard* clipboard;
  FakeFocusReader* focusReader;
  FakeEchoCancellers* echoCancellers;
  Platform platform;

  FakePlatform() {
    platform.soundServer.reset(soundServer = new FakeSoundServer);
    platform.accessibility.reset(accessibility = new FakeAccessibility);
    platform.syntheticInput.reset(syntheticInput = new FakeSyntheticInput);
    platform.desktop.reset(desktop = new FakeDesktop);
    platform.systemSounds.reset(systemSounds = new FakeSystemSounds);
    platform.secretStore.reset(secretStore = new FakeSecretStore);
    platform.appCatalog.reset(appCatalog = new FakeAppCatalog);
    platform.windowList.reset(windowList = new FakeWindowList);
    platform.iconRenderer.reset(iconRenderer = new FakeIconRenderer);
    platform.appBus.reset(appBus = new FakeAppBus);
    platform.eventStore.reset(eventStore = new FakeEventStore);
    platform.mediaPlayers.reset(mediaPlayers = new FakeMediaPlayers);
    platform.processes.reset(processes = new FakeProcesses);
    platform.machineId.reset(machineId = new FakeMachineId);
    platform.backupExclusion.reset(backupExclusion = new FakeBackupExclusion);
    platform.audioInput.reset(audioInput = new FakeAudioInput);
    platform.speechEngine.reset(speechEngine = new FakeSpeechEngine);
    platform.audioConverters.reset(audioConverters = new FakeAudioConverters);
    platform.systemAudio.reset(systemAudio = new FakeSystemAudio);
    platform.sleepNotice.reset(sleepNotice = new FakeSleepNotice);
    platform.inputMonitor.reset(inputMonitor = new FakeInputMonitor);
    platform.clipboard.reset(clipboard = new FakeClipboard);
    platform.focusReader.reset(focusReader = new FakeFocusReader);
    platform.echoCancellers.reset(echoCancellers = new FakeEchoCancellers);
  }
};
