#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "base/RepeatingTimer.h"

class LineWriter;

// Starts the "level" lines of a listen session: every interval (0.125 s in use) it reads the
// level source and writes {"kind":"level","level":<bar height>} through one BarScale that keeps
// its state from line to line, on the executor given (a session's loop). Cancel the returned
// timer to stop the lines.
std::shared_ptr<RepeatingTimer> reportLevels(const asio::any_io_executor& executor,
                                             std::function<float()> level, LineWriter& lines,
                                             std::chrono::duration<double> interval);
