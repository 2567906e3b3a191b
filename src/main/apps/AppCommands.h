#pragma once

#include <string>

struct Context;

// browsers
[[noreturn]] void runBrowsers(Context& context);
// running-apps
[[noreturn]] void runRunningApps(Context& context);
// chrome-profiles
[[noreturn]] void runChromeProfiles(Context& context);
// chrome-open <desktop entry> <profile> <url>
[[noreturn]] void runChromeOpen(Context& context, const std::string& app,
                                const std::string& profile, const std::string& url);
// opener <url>
[[noreturn]] void runOpener(Context& context, const std::string& url);
