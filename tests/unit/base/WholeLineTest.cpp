#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <system_error>

#include "base/WholeLine.h"
#include "support/Files.h"
#include "support/Scratch.h"

// A file size limit stands in for a full disk: a write across it stops part of the way, as on a
// file system that fills up in the middle of a line.
TEST(WholeLine, ALineThatDoesNotFitIsCutBackOutAndTheNextOneFollowsTheLastWhole) {
  Scratch scratch;
  const auto path = scratch.root() / "transcript.jsonl";
  std::ofstream(path) << "{\"a\":1}\n";
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  auto previous = ::signal(SIGXFSZ, SIG_IGN);
  rlimit small = before;
  small.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

  int error = 0;
  try {
    appendWholeLine(fd, "{\"b\":\"too long\"}\n");
  } catch (const std::system_error& failure) {
    error = failure.code().value();
  }
  appendWholeLine(fd, "{\"c\":3}\n");  // fits: 16 bytes in all
  setrlimit(RLIMIT_FSIZE, &before);
  ::signal(SIGXFSZ, previous);
  ::close(fd);

  EXPECT_EQ(error, EFBIG);
  EXPECT_EQ(fileText(path), "{\"a\":1}\n{\"c\":3}\n");
}
