#include "platform/linux/wayland/ClipboardKeeper.h"

#include <gtest/gtest.h>

namespace {

TEST(ClipboardKeeper, KeepsPlainTextWhereThereIsSomeAndNothingInFlightToAPaste) {
  const ClipboardFlavor text{"text/plain;charset=utf-8", "words"};
  const ClipboardFlavor png{"image/png", "PNG"};
  const ClipboardFlavor marker{"x-kde-passwordManagerHint", "secret"};
  struct Row {
    std::vector<ClipboardFlavor> offered;
    std::optional<ClipboardFlavor> kept;
  };
  const Row rows[] = {
      {{png, text}, text},
      {{png, {"text/html", "<b>"}}, png},
      {{text, marker}, std::nullopt},
      {{}, std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(ClipboardKeeper::kept(row.offered), row.kept);
}

}  // namespace
