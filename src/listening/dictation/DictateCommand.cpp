#include "listening/dictation/DictateCommand.h"

#include <asio/post.hpp>

#include "base/Console.h"
#include "base/ControlWord.h"
#include "base/ExitStatus.h"
#include "base/ListenRunner.h"
#include "base/RunLog.h"
#include "listening/dictation/DictateSession.h"
#include "listening/engine/NeedsDownload.h"
#include "platform/XdgFolders.h"

void runDictate(Context& context, double quietSeconds, bool hold, bool keep) {
  ListenRunner runner(context);
  runner.requireMicrophone();
  // The log holds only the latest dictation.
  runner.openLog(XdgFolders().appFolder() / "dictate.log", true, true);

  Console& console = context.console;
  auto session = DictateSession::make(
      DictateSession::Services{context.platform, runner.lines(), context.timings,
                               [&console](const std::string& text) { console.err(text); },
                               [&console](int status) { console.end(status); }, runner.loop()},
      quietSeconds, hold, keep);

  // Read before the session starts, so a word that comes during the start is honoured.
  asio::io_context& loop = runner.loop();
  runner.readInput(
      [session, &loop](const std::string& line) {
        const std::string word = controlWord(line);
        if (word == "stop") {
          asio::post(loop, [session] { session->stop(); });
        } else if (word == "cancel") {
          asio::post(loop, [session] { session->cancel(); });
        }
      },
      [session, &loop] { asio::post(loop, [session] { session->cancel(); }); });

  runner.start([session] { session->start(); },
               [&runner](std::exception_ptr failure) {
                 try {
                   std::rethrow_exception(failure);
                 } catch (const std::exception& error) {
                   const std::string text = error.what();
                   logRun("dictate", "failed: " + text);
                   const bool missingModel = dynamic_cast<const NeedsDownload*>(&error) != nullptr;
                   runner.fail(text, missingModel ? EXIT_NOT_FOUND : EXIT_FAILED);
                 }
               });
  runner.run();
}
