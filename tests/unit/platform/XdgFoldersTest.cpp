#include <gtest/gtest.h>

#include <map>

#include "platform/XdgFolders.h"

namespace {

using Paths = std::vector<std::filesystem::path>;

XdgFolders folders(const std::map<std::string, std::string>& environment) {
  return XdgFolders(
      [&](const std::string& name) -> std::optional<std::string> {
        auto found = environment.find(name);
        if (found == environment.end()) return std::nullopt;
        return found->second;
      },
      "/fallback");
}

}  // namespace

TEST(XdgFoldersTest, ValuesAndDefaults) {
  struct Case {
    const char* what;
    std::map<std::string, std::string> environment;
    const char* home;
    const char* dataHome;
    const char* configHome;
    Paths dataDirs;
  };
  const Paths systemDefault{"/usr/local/share", "/usr/share"};
  const Case cases[] = {
      {"nothing set", {}, "/fallback", "/fallback/.local/share", "/fallback/.config", systemDefault},
      {"only HOME", {{"HOME", "/h"}}, "/h", "/h/.local/share", "/h/.config", systemDefault},
      {"every value",
       {{"HOME", "/h"}, {"XDG_DATA_HOME", "/d"}, {"XDG_CONFIG_HOME", "/c"},
        {"XDG_DATA_DIRS", "/one:/two"}},
       "/h", "/d", "/c", {"/one", "/two"}},
      {"relative values are ignored",
       {{"HOME", "h"}, {"XDG_DATA_HOME", "d"}, {"XDG_CONFIG_HOME", "c"},
        {"XDG_DATA_DIRS", "one:/two:"}},
       "/fallback", "/fallback/.local/share", "/fallback/.config", {"/two"}},
      {"empty values are unset",
       {{"HOME", ""}, {"XDG_DATA_HOME", ""}, {"XDG_CONFIG_HOME", ""}, {"XDG_DATA_DIRS", ""}},
       "/fallback", "/fallback/.local/share", "/fallback/.config", systemDefault},
      {"a list of nothing usable stays empty", {{"XDG_DATA_DIRS", "::rel"}}, "/fallback",
       "/fallback/.local/share", "/fallback/.config", {}},
  };
  for (const Case& c : cases) {
    XdgFolders xdg = folders(c.environment);
    EXPECT_EQ(xdg.home(), c.home) << c.what;
    EXPECT_EQ(xdg.dataHome(), c.dataHome) << c.what;
    EXPECT_EQ(xdg.configHome(), c.configHome) << c.what;
    EXPECT_EQ(xdg.dataDirs(), c.dataDirs) << c.what;
  }
}

TEST(XdgFoldersTest, DataFoldersAndTheAppFolder) {
  XdgFolders xdg = folders({{"HOME", "/h"}, {"XDG_DATA_DIRS", "/one:/two"}});
  EXPECT_EQ(xdg.dataFolders(), (Paths{"/h/.local/share", "/one", "/two"}));
  EXPECT_EQ(xdg.appFolder(), "/h/.local/share/com.quorvel.vesk");
  // The folders of a temporary outlive it in a loop over them.
  Paths seen;
  for (const auto& folder : folders({{"XDG_DATA_DIRS", "/one"}}).dataDirs()) seen.push_back(folder);
  EXPECT_EQ(seen, Paths{"/one"});
}
