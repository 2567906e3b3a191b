#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <regex>
#include <thread>

#include "fakes/FakeConsole.h"
#include "base/RunLog.h"
#include "support/Files.h"
#include "support/Scratch.h"

namespace {

// The log lines with their timestamps checked and cut off.
std::vector<std::string> bodies(const std::filesystem::path& file) {
  std::vector<std::string> result;
  std::istringstream lines(fileText(file));
  std::regex stamp(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z (.*))");
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    EXPECT_TRUE(std::regex_match(line, match, stamp)) << line;
    result.push_back(match[1]);
  }
  return result;
}

}  // namespace

TEST(RunLog, CreatesItsFolderAndWritesOneLinePerAppend) {
  Scratch scratch;
  FakeConsole console;
  auto file = scratch.root() / "deep/er/dictate.log";
  RunLog log(file, console);
  log.append("start", "mode mic");
  log.append("fields", "got", {{"b", 2}, {"a", "x/y"}});
  EXPECT_EQ(bodies(file),
            (std::vector<std::string>{"start mode mic", R"(fields got {"a":"x/y","b":2})"}));
  EXPECT_EQ(console.stderrText(), "");
}

TEST(RunLog, DetailBecomesOneLine) {
  Scratch scratch;
  FakeConsole console;
  auto file = scratch.root() / "a.log";
  RunLog log(file, console);
  log.append("heard", "two\nwords");
  log.append("heard", "two\r\nwords");
  log.append("heard", "a\u2028b\u2029c\u0085d");
  log.append("fields", "x", {{"text", "line\nbreak"}});
  EXPECT_EQ(bodies(file), (std::vector<std::string>{"heard two words", "heard two  words",
                                                    "heard a b c d",
                                                    R"(fields x {"text":"line\nbreak"})"}));
}

TEST(RunLog, UnwritableFieldsAreLoggedAsEmptyObject) {
  Scratch scratch;
  FakeConsole console;
  RunLog log(scratch.root() / "a.log", console);
  log.append("fields", "bad", {{"text", std::string("\xff")}});
  EXPECT_EQ(bodies(scratch.root() / "a.log"), (std::vector<std::string>{"fields bad {}"}));
}

TEST(RunLog, AppendsToWhatIsThere) {
  Scratch scratch;
  FakeConsole console;
  auto file = scratch.root() / "a.log";
  std::ofstream(file) << "earlier line\n";
  RunLog(file, console).append("next", "one");
  std::string text = fileText(file);
  EXPECT_TRUE(text.starts_with("earlier line\n")) << text;
  EXPECT_TRUE(text.ends_with(" next one\n")) << text;
}

TEST(RunLog, ReportsAFailedWriteAndRetriesTheOpenLater) {
  Scratch scratch;
  FakeConsole console;
  auto blocker = scratch.root() / "blocked";
  std::ofstream(blocker) << "a file where the folder should be";
  auto file = blocker / "a.log";
  RunLog log(file, console);
  log.append("lost", "line");
  EXPECT_TRUE(console.stderrText().starts_with("vesk-native: couldn\u2019t write the run\u2019s log: "))
      << console.stderrText();
  EXPECT_TRUE(console.stderrText().ends_with("\n"));

  std::filesystem::remove(blocker);
  log.append("kept", "line");
  EXPECT_EQ(bodies(file), (std::vector<std::string>{"kept line"}));
}

TEST(RunLog, ConcurrentAppendsStayWholeLines) {
  Scratch scratch;
  FakeConsole console;
  auto file = scratch.root() / "a.log";
  RunLog log(file, console);
  auto many = [&log](const char* who) {
    for (int i = 0; i < 200; ++i) log.append(who, std::to_string(i));
  };
  std::thread a(many, "a"), b(many, "b");
  a.join();
  b.join();
  EXPECT_EQ(bodies(file).size(), 400u);
}

TEST(RunLog, ProcessLogIsSkippedWhileAbsent) {
  Scratch scratch;
  FakeConsole console;
  setRunLog(nullptr);
  logRun("nobody", "hears this");
  auto file = scratch.root() / "process.log";
  setRunLog(std::make_shared<RunLog>(file, console));
  logRun("somebody", "does");
  logRun("with", "fields", {{"k", 1}});
  setRunLog(nullptr);
  EXPECT_EQ(bodies(file), (std::vector<std::string>{"somebody does", R"(with fields {"k":1})"}));
}
