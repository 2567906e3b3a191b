#include "landing/command/HoldKeyCommand.h"

#include <pthread.h>
#include <unistd.h>

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "landing/command/HoldKeyRequest.h"
#include "landing/command/HoldKeyRun.h"
#include "landing/command/MainLoopLater.h"
#include "base/InputLines.h"
#include "base/RepeatingTimer.h"
#include "base/SharedPool.h"
#include "base/LineWriter.h"
#include "base/RunLog.h"
#include "platform/XdgFolders.h"
#include "base/Console.h"
#include "base/Context.h"
#include "base/ExitStatus.h"
#include "main/Reply.h"
#include "base/Timings.h"
#include "base/PermissionStatus.h"
#include "platform/Platform.h"

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
  Console& console = context.console;
  Platform& platform = context.platform;
  std::signal(SIGPIPE, SIG_IGN);

  // Everything below lives until the process ends, which destroys nothing.
  auto& mainLoop = *new asio::io_context;
  auto& later = *new MainLoopLater(mainLoop);
  auto& lines = *new LineWriter(console);

  // Each run starts a fresh landing log.
  const auto logPath = XdgFolders().appFolder() / "landing.log";
  std::error_code ignored;
  std::filesystem::remove(logPath, ignored);
  auto& log = *new RunLog(logPath, console);
  logBackends(platform, log);

  auto trusted = [&platform] { return accessibilityStatus(platform) == GRANTED; };
  auto& run = *new HoldKeyRun(
      HoldKeyRun::Services{platform, lines, log, later, context.timings, trusted,
                           [&console] { console.end(EXIT_OK); },
                           [&platform] { return mayTypeForUser(platform); }},
      HeldKey::parse(key));

  const std::string problem = platform.inputMonitor->start([&mainLoop, &run](const InputEvent& event) {
    asio::post(mainLoop, [&run, event] { run.see(event); });
  });
  if (!problem.empty()) fail(console, "Couldn\u2019t watch the keyboard: " + problem, EXIT_FAILED);

  // The trust poll asks on the pool (the bus may be slow) and hands the answer to the loop.
  RepeatingTimer::start(context.timings.accessCheck, [&mainLoop, &run, trusted] {
    const bool now = trusted();
    asio::post(mainLoop, [&run, now] { run.accessSeen(now); });
  });

  const auto backstop = context.timings.holdKeyBackstop;
  std::thread([&mainLoop, &run, &console, backstop] {
    pthread_setname_np(pthread_self(), "vesk.stdin");
    bool ended = false;
    // The end of input, or "stop": finish after the queued landings, within the backstop.
    auto end = [&] {
      ended = true;
      runAfter(backstop, [&console] { console.end(EXIT_OK); });
      asio::post(mainLoop, [&run] { run.leave(); });
    };
    readInputLines(STDIN_FILENO, [&](const std::string& line) {
      if (ended) return;
      if (HoldKeyRequest::isStop(line)) {
        end();
      } else {
        asio::post(mainLoop, [&run, line] { run.request(line); });
      }
    });
    if (!ended) end();
  }).detach();

  auto keepRunning = asio::make_work_guard(mainLoop);
  mainLoop.run();
  console.end(EXIT_OK);
  std::abort();  // end() never returns; this only guards against a console that does
}
