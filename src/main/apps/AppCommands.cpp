#include "main/apps/AppCommands.h"

#include <fstream>
#include <iterator>

#include "base/Base64.h"
#include "main/apps/Browsers.h"
#include "main/apps/ChromeProfiles.h"
#include "base/Context.h"
#include "base/ExitStatus.h"
#include "main/Reply.h"
#include "main/apps/RunningApps.h"
#include "base/Timings.h"
#include "platform/Platform.h"
#include "platform/XdgFolders.h"

namespace {

constexpr int ICON_SIZE = 64;

// Where installed browsers' desktop entries may lie: the system's applications, the user's,
// and the system flatpak exports.
std::vector<std::string> browserFolders() {
  return {"/usr/share/applications/", (XdgFolders().dataHome() / "applications").string() + "/",
          "/var/lib/flatpak/exports/share/applications/"};
}

// PNG bytes as a data URL; none as "".
std::string dataURL(const std::string& png) {
  return png.empty() ? "" : "data:image/png;base64," + base64(png);
}

// The icon as a PNG data URL of exactly 64 × 64 pixels, or "" when it cannot be drawn.
std::string pngDataURL(IconRenderer& renderer, const IconRef& icon) {
  if (icon.file.empty() && icon.names.empty()) return "";
  return dataURL(renderer.png(icon, ICON_SIZE));
}

// The entry's icon, else the window's own.
std::string appIconURL(IconRenderer& renderer, const RunningApp& app) {
  std::string url = pngDataURL(renderer, app.icon);
  if (!url.empty() || app.windowIcon.empty()) return url;
  return dataURL(renderer.png(app.windowIcon, ICON_SIZE));
}

nlohmann::json pathOrNull(const std::optional<AppEntry>& entry) {
  return entry ? nlohmann::json(entry->path) : nlohmann::json(nullptr);
}

}  // namespace

void runBrowsers(Context& context) {
  Platform& platform = context.platform;
  std::string type(WEB_LINK_TYPE);
  auto browsers = nlohmann::json::array();
  for (const auto& browser : acceptedBrowsers(platform.appCatalog->handlersOf(type),
                                              browserFolders())) {
    browsers.push_back({{"name", browser.name},
                        {"path", browser.path},
                        {"icon", pngDataURL(*platform.iconRenderer, browser.icon)}});
  }
  nlohmann::json answer = {{"macDefault", pathOrNull(platform.appCatalog->defaultFor(type))},
                           {"browsers", std::move(browsers)}};
  reply(context.console, answer);
}

void runRunningApps(Context& context) {
  Platform& platform = context.platform;
  auto windows = platform.windowList->appWindows();
  std::vector<AppEntry> entries;
  if (!windows.empty()) entries = platform.appCatalog->entries();
  auto apps = nlohmann::json::array();
  for (const auto& app : runningApps(windows, entries)) {
    apps.push_back({{"name", app.name},
                    {"hidden", app.hidden},
                    {"icon", appIconURL(*platform.iconRenderer, app)}});
  }
  reply(context.console, {{"apps", std::move(apps)}});
}

void runChromeProfiles(Context& context) {
  // An absent or unreadable file reads as no text, which holds no profiles.
  std::ifstream file(chromeStateFile(XdgFolders().home()), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  reply(context.console, chromeProfiles(text));
}

void runChromeOpen(Context& context, const std::string& app, const std::string& profile,
                   const std::string& url) {
  auto result = context.platform.appCatalog->launch(app, {"--profile-directory=" + profile, url},
                                                    context.timings.launchWatch);
  if (!result.started) fail(context.console, "Couldn't open Chrome: " + result.error, EXIT_FAILED);
  if (result.exitStatus && *result.exitStatus != 0) {
    fail(context.console, "Chrome didn't open.", EXIT_FAILED);
  }
  reply(context.console, {{"opened", true}});
}

void runOpener(Context& context, const std::string& url) {
  reply(context.console, {{"app", pathOrNull(context.platform.appCatalog->openerOf(url))}});
}
