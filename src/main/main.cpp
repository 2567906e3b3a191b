#include <csignal>
#include <string>
#include <vector>

#include "base/Context.h"
#include "main/Dispatch.h"
#include "base/ExitStatus.h"
#include "base/ProcessConsole.h"
#include "base/Timings.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxPlatform.h"

int main(int argc, char** argv) {
  // A parent that stops reading must not kill us mid-reply; writes to it simply fail.
  std::signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> args(argv + 1, argv + argc);
  static const Timings timings;
  Console& console = ProcessConsole::shared();
  // A backend module that cannot be loaded ends the command that needed it.
  static Platform platform = makeLinuxPlatform([&console](const std::string& message) {
    console.err(message);
    console.end(EXIT_FAILED);
  });
  Context context{platform, console, timings};
  dispatch(context, args);
}
