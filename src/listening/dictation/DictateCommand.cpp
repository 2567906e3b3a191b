#include "base/WaitForEnding.h"
#include "listening/dictation/DictateCommand.h"

#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "listening/dictation/DictateSession.h"
#include "base/InputLines.h"
#include "base/LineWriter.h"
#include "listening/engine/NeedsDownload.h"
#include "base/RunLog.h"
#include "platform/XdgFolders.h"
#include "base/Console.h"
#include "base/Context.h"
#include "base/ExitStatus.h"
#include "base/PermissionStatus.h"
#include "main/Reply.h"
#include "base/ControlWord.h"

void runDictate(Context& context, double quietSeconds, bool hold, bool keep) {
  Console& console = context.console;
  if (microphoneStatus(context.platform) != GRANTED) {
    fail(console,
         "Microphone access denied. Allow Vesk in System Settings \u2192 Privacy & Security \u2192 "
         "Microphone.",
         EXIT_NOT_PERMITTED);
  }
  std::signal(SIGPIPE, SIG_IGN);

  // The log holds only the latest dictation.
  const auto logPath = XdgFolders().appFolder() / "dictate.log";
  std::error_code ignored;
  std::filesystem::remove(logPath, ignored);
  setRunLog(std::make_shared<RunLog>(logPath, console));

  // Never destroyed: its lines may still be written while the process ends.
  LineWriter& lines = *new LineWriter(console);
  auto session = DictateSession::make(
      DictateSession::Services{context.platform, lines, context.timings,
                               [&console](const std::string& text) { console.err(text); },
                               [&console](int status) { console.end(status); }},
      quietSeconds, hold, keep);

  // Started before the session, so a word that comes during the start is honoured.
  std::thread([session] {
    pthread_setname_np(pthread_self(), "vesk.stdin");
    readInputLines(STDIN_FILENO, [&session](const std::string& line) {
      const std::string word = controlWord(line);
      if (word == "stop") {
        session->stop();
      } else if (word == "cancel") {
        session->cancel();
      }
    });
    session->cancel();
  }).detach();

  std::thread([session, &console] {
    pthread_setname_np(pthread_self(), "vesk.start");
    try {
      session->start();
    } catch (const std::exception& error) {
      const std::string text = error.what();
      logRun("dictate", "failed: " + text);
      const bool missingModel = dynamic_cast<const NeedsDownload*>(&error) != nullptr;
      fail(console, text, missingModel ? EXIT_NOT_FOUND : EXIT_FAILED);
    }
  }).detach();

  waitForEnding(console);
}
