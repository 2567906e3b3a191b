#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "base/InputLines.h"

TEST(InputLines, SplitsOnNewlinesAcrossReadsAndKeepsALastUnendedLine) {
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  std::thread writer([fd = pipe[1]] {
    for (const char* part : {"st", "op\n\n  cancel\t\nlast"}) {
      (void)!::write(fd, part, std::char_traits<char>::length(part));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::close(fd);
  });
  std::vector<std::string> lines;
  readInputLines(pipe[0], [&](const std::string& line) { lines.push_back(line); });
  writer.join();
  ::close(pipe[0]);
  EXPECT_EQ(lines, (std::vector<std::string>{"stop", "", "  cancel\t", "last"}));
}
