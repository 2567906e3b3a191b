// The built binary finds its backend modules beside itself or in ../lib/vesk-native, loads only
// what a command needs, and ends a command whose module cannot be loaded with status 1 and a
// message naming the module and the Debian package behind its library.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/Run.h"
#include "support/Scratch.h"

namespace fs = std::filesystem;

namespace {

struct Layout {
  const char* name;
  const char* binaryFolder;  // inside the scratch folder
  const char* moduleFolder;  // where vesk-systemd.so goes, or nullptr for nowhere
  bool realModule;           // the built module, or a file that is no module at all
  int status;
  const char* errStart;
  const char* errEnd;
};

}  // namespace

TEST(BackendModules, FoundBesideOrInLibAndRefusedWhenBroken) {
  const fs::path built = fs::path(VESK_BINARY).parent_path();
  const Layout layouts[] = {
      {"beside", "bin", "bin", true, 0, "", ""},
      {"installed", "bin", "lib/vesk-native", true, 0, "", ""},
      {"broken", "bin", "bin", false, 1, "Could not load the module vesk-systemd.so (",
       "). It needs the Debian package libsystemd0."},
  };
  for (const auto& layout : layouts) {
    Scratch scratch;
    fs::path binary = scratch.root() / layout.binaryFolder / "vesk-native";
    fs::create_directories(binary.parent_path());
    fs::copy_file(VESK_BINARY, binary);
    fs::path module = scratch.root() / layout.moduleFolder / "vesk-systemd.so";
    fs::create_directories(module.parent_path());
    if (layout.realModule) {
      fs::copy_file(built / "vesk-systemd.so", module);
    } else {
      std::ofstream(module) << "not a shared object";
    }

    RunResult r = runProgram(binary.string(), {"device-id"});
    EXPECT_EQ(r.status, layout.status) << layout.name << ": " << r.err;
    if (layout.status == 0) {
      EXPECT_EQ(r.out.rfind("{\"id\":\"", 0), 0u) << layout.name;
      continue;
    }
    EXPECT_EQ(r.out, "") << layout.name;
    EXPECT_EQ(r.err.rfind(layout.errStart, 0), 0u) << layout.name << ": " << r.err;
    EXPECT_TRUE(r.err.ends_with(layout.errEnd)) << layout.name << ": " << r.err;
    // A command that needs no service loads nothing, so the broken module does not matter.
    EXPECT_EQ(runProgram(binary.string(), {}).status, 64) << layout.name;
  }
}
