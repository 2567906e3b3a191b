#include "landing/command/HoldKeyCommand.h"

#include <asio/post.hpp>
#include <memory>

#include "base/Console.h"
#include "base/ExitStatus.h"
#include "base/LineWriter.h"
#include "base/ListenEnding.h"
#include "base/ListenRunner.h"
#include "base/PermissionStatus.h"
#include "base/RepeatingTimer.h"
#include "base/RunLog.h"
#include "base/Timings.h"
#include "landing/command/HoldKeyRequest.h"
#include "landing/command/HoldKeyRun.h"
#include "landing/command/MainLoopLater.h"
#include "platform/Platform.h"
#include "platform/XdgFolders.h"

namespace {

// On a Wayland session, writes to the landing log which mechanism serves each need, and what the
// user must do for each need nothing serves. Making the four services is what picks them. An X11
// session has one set, and its log holds the landings alone.
void logBackends(Platform& platform, RunLog& log) {
  platform.inputMonitor->available();
  platform.syntheticInput->available();
  platform.clipboard->available();
  platform.windowList->available();
  if (!platform.sessionBackends) return;
  const SessionBackends backends = platform.sessionBackends();
  if (backends.session != "wayland") return;
  log.append("backends", backends.session,
             {{"keys", backends.keys},
              {"paste", backends.paste},
              {"clipboard", backends.clipboard},
              {"front", backends.front}});
  for (const auto& missing : backends.missing) log.append("missing", missing);
}

}  // namespace

void runHoldKey(Context& context, const std::string& key) {
  ListenRunner runner(context);
  Console& console = context.console;
  Platform& platform = context.platform;
  asio::io_context& mainLoop = runner.loop();

  // Everything below lives until the process ends, which destroys nothing.
  auto& later = *new MainLoopLater(mainLoop);
  // Each run starts a fresh landing log, its own: no session writes to it.
  RunLog& log = **new std::shared_ptr<RunLog>(runner.openLog(XdgFolders().appFolder() / "landing.log", true, false));
  logBackends(platform, log);
  // The run's own ending, and the backstop after the input ends: whichever comes first.
  auto ending = ListenEnding::make([&console](int status) { console.end(status); });
  auto trusted = [&platform] { return accessibilityStatus(platform) == GRANTED; };
  auto& run = *new HoldKeyRun(
      HoldKeyRun::Services{platform, runner.lines(), log, later, context.timings, trusted,
                           [ending] { ending->end(EXIT_OK); },
                           [&platform] { return mayTypeForUser(platform); }},
      HeldKey::parse(key));

  const std::string problem = platform.inputMonitor->start([&mainLoop, &run](const InputEvent& event) {
    asio::post(mainLoop, [&run, event] { run.see(event); });
  });
  if (!problem.empty()) runner.fail("Couldn\u2019t watch the keyboard: " + problem, EXIT_FAILED);

  // The trust poll asks on the pool (the bus may be slow) and hands the answer to the loop.
  RepeatingTimer::start(context.timings.accessCheck, [&mainLoop, &run, trusted] {
    const bool now = trusted();
    asio::post(mainLoop, [&run, now] { run.accessSeen(now); });
  });

  // The end of input, or "stop": finish after the queued landings, within the backstop.
  auto leave = [&mainLoop, &run, ending, backstop = context.timings.holdKeyBackstop] {
    ending->watch(backstop, [ending] { ending->end(EXIT_OK); });
    asio::post(mainLoop, [&run] { run.leave(); });
  };
  auto left = std::make_shared<bool>(false);  // on the stdin thread only
  runner.readInput(
      [&mainLoop, &run, leave, left](const std::string& line) {
        if (*left) return;
        if (HoldKeyRequest::isStop(line)) {
          *left = true;
          leave();
        } else {
          asio::post(mainLoop, [&run, line] { run.request(line); });
        }
      },
      [leave, left] {
        if (!*left) leave();
      });
  runner.run();
}
