#include "base/WaitForEnding.h"
#include "listening/meeting/ListenCommand.h"

#include <pthread.h>
#include <unistd.h>

#include <asio/signal_set.hpp>
#include <csignal>
#include <cstdlib>
#include <future>
#include <nlohmann/json.hpp>
#include <thread>

#include "listening/dictation/DictateCommand.h"
#include "base/InputLines.h"
#include "base/SerialQueue.h"
#include "listening/meeting/ListenSession.h"
#include "base/LineWriter.h"
#include "base/RunLog.h"
#include "platform/XdgFolders.h"
#include "base/Console.h"
#include "base/Context.h"
#include "base/ExitStatus.h"
#include "main/Reply.h"
#include "base/TimeText.h"
#include "base/PermissionStatus.h"
#include "base/ControlWord.h"

namespace {

// The lines of standard input: the first one for the main thread, the rest for the session.
struct InputReader {
  std::promise<std::optional<std::string>> first;
  std::promise<std::shared_ptr<ListenSession>> session;
};

}  // namespace

void runListen(Context& context, const std::string& sources) {
  Console& console = context.console;
  const std::string microphone(microphoneStatus(context.platform));
  if (microphone != GRANTED) {
    fail(console,
         "Microphone access denied. Allow Vesk in System Settings \u2192 Privacy & Security \u2192 "
         "Microphone.",
         EXIT_NOT_PERMITTED);
  }
  const std::string systemAudio(systemAudioStatus(context.platform));
  if (sources == "both" && systemAudio != GRANTED) {
    fail(console, systemAudioDenied, EXIT_NOT_PERMITTED);
  }

  // One thread reads standard input from the start: the first line comes back here, the later
  // ones become calls on the session, and the end of input quits it.
  auto reader = std::make_shared<InputReader>();
  auto firstLine = reader->first.get_future();
  std::thread([reader] {
    pthread_setname_np(pthread_self(), "vesk.stdin");
    bool first = true;
    std::shared_future<std::shared_ptr<ListenSession>> session =
        reader->session.get_future().share();
    readInputLines(STDIN_FILENO, [&](const std::string& line) {
      if (first) {
        first = false;
        reader->first.set_value(line);
        return;
      }
      const std::string word = controlWord(line);
      if (word == "stop") {
        session.get()->stop("asked");
      } else if (word == "hear-them") {
        std::thread([listening = session.get()] {
          pthread_setname_np(pthread_self(), "vesk.hear");
          listening->hearThem();
        }).detach();
      }
    });
    if (first) {
      reader->first.set_value(std::nullopt);
      return;
    }
    session.get()->quit();
  }).detach();

  const std::optional<std::string> line = firstLine.get();
  const auto identity = line ? meetingIdentity(*line) : std::nullopt;
  if (!identity) usageError(console);

  const auto folder = XdgFolders().appFolder() / "meetings";
  // Never destroyed: its lines may still be written while the process ends.
  LineWriter& lines = *new LineWriter(console);
  auto session = ListenSession::make(
      ListenSession::Services{context.platform, lines, context.timings, folder,
                              [&console](int status) { console.end(status); }},
      identity->id, sources, identity->pausedFrom);
  setRunLog(std::make_shared<RunLog>(folder / (identity->id + ".log"), console));
  std::string start = "start source=" + sources + " pid=" + std::to_string(getpid()) +
                      " microphone=" + microphone + " systemAudio=" + systemAudio;
  if (identity->pausedFrom) {
    start += " pause=" + *identity->pausedFrom + ".." + isoTime(session->startedAt());
  }
  logRun("meeting", start);
  std::signal(SIGPIPE, SIG_IGN);
  reader->session.set_value(session);

  // SIGTERM and SIGINT end the meeting quietly, handled on the queue "vesk.listen".
  auto* listenQueue = new SerialQueue("vesk.listen");
  auto* listenSignals = new asio::signal_set(listenQueue->context(), SIGTERM, SIGINT);
  listenSignals->async_wait([session](const std::error_code& error, int) {
    if (!error) session->quit();
  });

  session->watchForSelfStop();
  session->reportSources();
  std::thread([session] {
    pthread_setname_np(pthread_self(), "vesk.start");
    try {
      session->start();
    } catch (...) {
      session->failed(std::current_exception());
    }
  }).detach();

  waitForEnding(console);
}
