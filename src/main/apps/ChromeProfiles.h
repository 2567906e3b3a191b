#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string_view>

// Chrome's state file under a home folder.
std::filesystem::path chromeStateFile(const std::filesystem::path& home);

// The signed-in profiles in the text of Chrome's state file: an array of
// {"dir", "email", "activeTime"}; empty for text that is not such a file.
nlohmann::json chromeProfiles(std::string_view stateText);
