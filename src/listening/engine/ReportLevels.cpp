#include "listening/engine/ReportLevels.h"

#include "listening/engine/BarScale.h"
#include "base/LineWriter.h"

std::shared_ptr<RepeatingTimer> reportLevels(const asio::any_io_executor& executor,
                                             std::function<float()> level, LineWriter& lines,
                                             std::chrono::duration<double> interval) {
  // The timer's runs never overlap, so the scale needs no lock.
  auto scale = std::make_shared<BarScale>();
  return RepeatingTimer::start(executor, interval, [scale, level = std::move(level), &lines] {
    lines.write("level", {{"level", scale->height(level())}});
  });
}
