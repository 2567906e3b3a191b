#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "fakes/FakeConsole.h"
#include "base/LineWriter.h"
#include "base/ProcessConsole.h"
#include "support/Scratch.h"

using nlohmann::json;

TEST(EventLine, KindAloneAndKindFirst) {
  EXPECT_EQ(eventLine("ready", json::object()), R"({"kind":"ready"})");
  EXPECT_EQ(eventLine("line", {{"who", "me"}, {"at", "x"}}), R"({"kind":"line","at":"x","who":"me"})");
}

TEST(EventLine, FieldsEscapeSlashesAndKeepUtf8) {
  EXPECT_EQ(eventLine("sound", {{"file", "/tmp/a.wav"}, {"text", "\u00e9"}}),
            R"({"kind":"sound","file":"\/tmp\/a.wav","text":"é"})");
}

TEST(EventLine, UnwritableFieldsLeaveTheKindAlone) {
  EXPECT_EQ(eventLine("partial", {{"text", std::string("bad\xc3")}}), R"({"kind":"partial"})");
}

TEST(LineWriter, EachLineIsOneWriteEndingInNewline) {
  FakeConsole console;
  LineWriter writer(console);
  writer.write("ready");
  writer.write("level", {{"me", 0.5}});
  EXPECT_EQ(console.stdoutText(), "{\"kind\":\"ready\"}\n{\"kind\":\"level\",\"me\":0.5}\n");
  EXPECT_EQ(console.stdoutWrites(), 2);
}

namespace {

// Two threads, "me" and "them", each write lines numbered 0 to each - 1 through the writer.
void writeFromTwoThreads(LineWriter& writer, int each) {
  auto writeMany = [&writer, each](const std::string& who) {
    for (int i = 0; i < each; ++i) writer.write("line", {{"who", who}, {"n", i}});
  };
  std::thread a(writeMany, "me");
  std::thread b(writeMany, "them");
  a.join();
  b.join();
}

// Every line is whole JSON, none is missing, and each writer's lines keep their order.
void expectWholeLines(std::istream& lines, int each) {
  int count = 0, lastMe = -1, lastThem = -1;
  for (std::string line; std::getline(lines, line); ++count) {
    const json parsed = json::parse(line, nullptr, false);
    ASSERT_FALSE(parsed.is_discarded()) << "torn line " << count << ": " << line;
    int& last = parsed.at("who") == "me" ? lastMe : lastThem;
    ASSERT_EQ(parsed.at("n").get<int>(), last + 1) << "line " << count;
    last = parsed.at("n").get<int>();
  }
  EXPECT_EQ(count, 2 * each);
  EXPECT_EQ(lastMe, each - 1);
  EXPECT_EQ(lastThem, each - 1);
}

}  // namespace

TEST(LineWriter, TwoThreadsWritingAtOnceGiveWholeLines) {
  FakeConsole console;
  LineWriter writer(console);
  writeFromTwoThreads(writer, 1000);
  std::istringstream lines(console.stdoutText());
  expectWholeLines(lines, 1000);
  EXPECT_EQ(console.stdoutWrites(), 2000);
}

TEST(LineWriter, NothingFollowsTheLastLineAndALongLineGoesOutInPieces) {
  FakeConsole console;
  LineWriter writer(console);
  writer.writeStreamed("sound", "wav", [](const auto& piece) {
    piece("UklG");
    piece("R/g=");
  });
  writer.writeLast("done");
  writer.write("line", {{"text", "late"}});
  writer.writeLast("done");
  writer.writeStreamed("sound", "wav", [](const auto& piece) { piece("late"); });
  EXPECT_EQ(console.stdoutText(), "{\"kind\":\"sound\",\"wav\":\"UklGR\\/g=\"}\n{\"kind\":\"done\"}\n");
}

TEST(LineWriter, UnderLoadTwoThreadsGiveOnlyWholeLinesInAFile) {
  // 100,000 lines from each thread through the real standard-output writer into a file.
  constexpr int EACH = 100000;
  Scratch scratch;
  const auto path = scratch.root() / "lines.jsonl";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  {
    ProcessConsole console(fd, STDERR_FILENO);
    LineWriter writer(console);
    writeFromTwoThreads(writer, EACH);
  }
  ::close(fd);
  std::ifstream file(path);
  expectWholeLines(file, EACH);
}
