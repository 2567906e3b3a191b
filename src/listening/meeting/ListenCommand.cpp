#include "listening/meeting/ListenCommand.h"

#include <unistd.h>

#include <asio/post.hpp>
#include <asio/signal_set.hpp>
#include <csignal>
#include <future>

#include "base/Console.h"
#include "base/ControlWord.h"
#include "base/ExitStatus.h"
#include "base/Launch.h"
#include "base/ListenRunner.h"
#include "base/PermissionStatus.h"
#include "base/RunLog.h"
#include "base/TimeText.h"
#include "listening/meeting/ListenSession.h"
#include "platform/XdgFolders.h"

namespace {

// The lines of standard input: the first one for the main thread, the rest for the session.
struct InputReader {
  std::promise<std::optional<std::string>> first;
  std::promise<std::shared_ptr<ListenSession>> session;
  std::shared_future<std::shared_ptr<ListenSession>> sessionReady = session.get_future().share();
  bool firstDone = false;
};

}  // namespace

void runListen(Context& context, const std::string& sources) {
  ListenRunner runner(context);
  const std::string microphone = runner.requireMicrophone();
  const std::string systemAudio(systemAudioStatus(context.platform));
  if (sources == "both" && systemAudio != GRANTED) runner.fail(systemAudioDenied, EXIT_NOT_PERMITTED);

  // Standard input is read from the start: the first line comes back here, the later ones
  // become calls on the session, and the end of input quits it.
  auto reader = std::make_shared<InputReader>();
  auto firstLine = reader->first.get_future();
  asio::io_context& loop = runner.loop();
  runner.readInput(
      [reader, &loop](const std::string& line) {
        if (!reader->firstDone) {
          reader->firstDone = true;
          reader->first.set_value(line);
          return;
        }
        const std::string word = controlWord(line);
        if (word == "stop") {
          asio::post(loop, [listening = reader->sessionReady.get()] { listening->stop("asked"); });
        } else if (word == "hear-them") {
          launch("vesk.hear", [listening = reader->sessionReady.get()] { listening->hearThem(); });
        }
      },
      [reader, &loop] {
        if (!reader->firstDone) {
          reader->first.set_value(std::nullopt);
          return;
        }
        asio::post(loop, [listening = reader->sessionReady.get()] { listening->quit(); });
      });

  const std::optional<std::string> line = firstLine.get();
  const auto identity = line ? meetingIdentity(*line) : std::nullopt;
  if (!identity) runner.usageError();

  const auto folder = XdgFolders().appFolder() / "meetings";
  Console& console = context.console;
  auto session = ListenSession::make(
      ListenSession::Services{context.platform, runner.lines(), context.timings, folder,
                              [&console](int status) { console.end(status); }, loop},
      identity->id, sources, identity->pausedFrom);
  runner.openLog(folder / (identity->id + ".log"), false, true);
  std::string start = "start source=" + sources + " pid=" + std::to_string(getpid()) +
                      " microphone=" + microphone + " systemAudio=" + systemAudio;
  if (identity->pausedFrom) {
    start += " pause=" + *identity->pausedFrom + ".." + isoTime(session->startedAt());
  }
  logRun("meeting", start);
  reader->session.set_value(session);

  // SIGTERM and SIGINT end the meeting quietly, handled on the main loop.
  auto* signals = new asio::signal_set(loop, SIGTERM, SIGINT);
  signals->async_wait([session](const std::error_code& error, int) {
    if (!error) session->quit();
  });

  session->watchForSelfStop();
  session->reportSources();
  runner.start([session] { session->start(); },
               [session, &loop](std::exception_ptr error) {
                 asio::post(loop, [session, error] { session->failed(error); });
               });
  runner.run();
}
