#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cerrno>
#include <fstream>
#include <optional>

#include "base/DurableFile.h"
#include "support/Files.h"
#include "support/Scratch.h"

// A file size limit stands in for a full disk: a write across it stops part of the way, as on a
// file system that fills up in the middle of a line.
TEST(DurableFile, ALineThatDoesNotFitIsCutBackOutAndTheNextOneFollowsTheLastWhole) {
  Scratch scratch;
  const auto path = scratch.root() / "meetings" / "transcript.jsonl";
  DurableFile file(path);
  file.append("{\"a\":1}\n");  // makes the folder and the file
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  auto previous = ::signal(SIGXFSZ, SIG_IGN);
  rlimit small = before;
  small.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

  std::optional<DurableFile::Failure> failed;
  try {
    file.append("{\"b\":\"too long\"}\n");
  } catch (const DurableFile::Failure& failure) {
    failed = failure;
  }
  file.append("{\"c\":3}\n");  // fits: 16 bytes in all
  setrlimit(RLIMIT_FSIZE, &before);
  ::signal(SIGXFSZ, previous);

  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->code().value(), EFBIG);
  EXPECT_EQ(failed->step, DurableFile::Failure::Step::Write);
  EXPECT_EQ(fileText(path), "{\"a\":1}\n{\"c\":3}\n");
}

TEST(DurableFile, AFolderThatCannotBeMadeFailsEachAppendUntilItCan) {
  Scratch scratch;
  std::ofstream(scratch.root() / "meetings") << "a file where the folder should be";
  DurableFile file(scratch.root() / "meetings" / "transcript.jsonl");
  try {
    file.append("x\n");
    FAIL() << "no failure";
  } catch (const DurableFile::Failure& failure) {
    EXPECT_EQ(failure.step, DurableFile::Failure::Step::Create);
    EXPECT_EQ(failure.path, scratch.root() / "meetings");
  }
  std::filesystem::remove(scratch.root() / "meetings");
  file.append("y\n");
  EXPECT_EQ(fileText(scratch.root() / "meetings" / "transcript.jsonl"), "y\n");
}
