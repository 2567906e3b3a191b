#include "base/WaitForEnding.h"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <cstdlib>

#include "base/Console.h"
#include "base/ExitStatus.h"

void waitForEnding(Console& console) {
  asio::io_context mainLoop;
  auto keepRunning = asio::make_work_guard(mainLoop);
  mainLoop.run();
  console.end(EXIT_OK);
  std::abort();  // end() never returns; this only guards against a console that does
}
