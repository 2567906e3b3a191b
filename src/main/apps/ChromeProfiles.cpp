#include "main/apps/ChromeProfiles.h"

std::filesystem::path chromeStateFile(const std::filesystem::path& home) {
  return home / ".config/google-chrome/Local State";
}

nlohmann::json chromeProfiles(std::string_view stateText) {
  auto profiles = nlohmann::json::array();
  auto state = nlohmann::json::parse(stateText, nullptr, false);
  if (state.is_discarded() || !state.is_object()) return profiles;
  auto profile = state.find("profile");
  if (profile == state.end() || !profile->is_object()) return profiles;
  auto cache = profile->find("info_cache");
  if (cache == profile->end() || !cache->is_object()) return profiles;
  for (const auto& [dir, info] : cache->items()) {
    if (!info.is_object()) continue;
    auto user = info.find("user_name");
    if (user == info.end() || !user->is_string() || user->get_ref<const std::string&>().empty()) {
      continue;
    }
    auto active = info.find("active_time");
    bool timed = active != info.end() && active->is_number();
    nlohmann::json activeTime = timed ? *active : nlohmann::json(0);
    profiles.push_back({{"dir", dir}, {"email", *user}, {"activeTime", activeTime}});
  }
  return profiles;
}
