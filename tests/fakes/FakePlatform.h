#pragma once

#include <atomic>
#include <set>
#include <string>

#include "fakes/FakeAudioConverters.h"
#include "fakes/FakeAudioInput.h"
#include "fakes/FakeSpeechEngine.h"
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
  bool available() override { return display; }
};

class FakeDesktop final : public Desktop {
 public:
  // Anything with a scheme counts as a URL here.
  bool isUrl(const std::string& text) override {
    auto colon = text.find(':');
    return colon != std::string::npos && colon > 0;
  }
};

class FakeSystemSounds final : public SystemSounds {
 public:
  std::set<std::string> names{"bell", "Glass"};
  bool exists(const std::string& name) override { return names.count(name) > 0; }
};

// A platform of fakes, each reachable with its concrete type for arranging and checking.
struct FakePlatform {
  FakeSoundServer* soundServer;
  FakeAccessibility* accessibility;
  FakeSyntheticInput* syntheticInput;
  FakeDesktop* desktop;
  FakeSystemSounds* systemSounds;
  FakeAudioInput* audioInput;
  FakeSpeechEngine* speechEngine;
  FakeAudioConverters* audioConverters;
  Platform platform;

  FakePlatform() {
    platform.soundServer.reset(soundServer = new FakeSoundServer);
    platform.accessibility.reset(accessibility = new FakeAccessibility);
    platform.syntheticInput.reset(syntheticInput = new FakeSyntheticInput);
    platform.desktop.reset(desktop = new FakeDesktop);
    platform.systemSounds.reset(systemSounds = new FakeSystemSounds);
    platform.audioInput.reset(audioInput = new FakeAudioInput);
    platform.speechEngine.reset(speechEngine = new FakeSpeechEngine);
    platform.audioConverters.reset(audioConverters = new FakeAudioConverters);
  }
};
