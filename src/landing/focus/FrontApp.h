#pragma once

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "platform/FocusReader.h"

struct Platform;

// The application in front: the one whose window is active.
struct FrontApp {
  std::optional<long> pid;  // none when its window does not say
  // Its desktop entry id, else its window's class, else "unknown".
  std::string id;
};

// The application whose window is active; nothing when no window is.
std::optional<FrontApp> frontmostApp(Platform& platform);
// {"app": the front application's process id, or null}.
nlohmann::json appField(const std::optional<FrontApp>& front);
// What has keyboard focus in the front application, each question to it waiting at most
// `callLimit`: nothing when no window is active, unknown when it cannot be told.
Focus focusNow(Platform& platform, std::chrono::milliseconds callLimit);
// The same for an application already found in front.
Focus focusOf(Platform& platform, const std::optional<FrontApp>& front,
              std::chrono::milliseconds callLimit);
