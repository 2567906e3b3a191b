#include "platform/linux/BackendModule.h"

#include <gtest/gtest.h>

TEST(BackendModuleTest, ModulesAreLookedForBesideTheBinaryAndInLibNextToIt) {
  const struct {
    const char* binary;
    std::vector<std::string> folders;
  } cases[] = {
      {"/usr/local/bin/vesk-native", {"/usr/local/bin", "/usr/local/lib/vesk-native"}},
      {"/home/me/build/vesk-native", {"/home/me/build", "/home/me/lib/vesk-native"}},
      // A binary one or no level below the root: nothing above the root.
      {"/bin/vesk-native", {"/bin", "/lib/vesk-native"}},
      {"/vesk-native", {"/", "/lib/vesk-native"}},
      {"vesk-native", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BackendModule::foldersBeside(c.binary), c.folders) << c.binary;
  }
}
