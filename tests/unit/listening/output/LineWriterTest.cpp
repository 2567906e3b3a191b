#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "fakes/FakeConsole.h"
#include "listening/output/LineWriter.h"

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

TEST(LineWriter, TwoThreadsWritingAtOnceGiveWholeLines) {
  FakeConsole console;
  LineWriter writer(console);
  auto writeMany = [&writer](const std::string& who) {
    for (int i = 0; i < 1000; ++i) writer.write("line", {{"who", who}, {"n", i}});
  };
  std::thread a(writeMany, "me");
  std::thread b(writeMany, "them");
  a.join();
  b.join();

  std::istringstream lines(console.stdoutText());
  int count = 0, lastMe = -1, lastThem = -1;
  for (std::string line; std::getline(lines, line); ++count) {
    json parsed = json::parse(line);  // throws on a torn line
    int n = parsed.at("n").get<int>();
    int& last = parsed.at("who") == "me" ? lastMe : lastThem;
    EXPECT_EQ(n, last + 1) << "each writer's lines keep their order";
    last = n;
  }
  EXPECT_EQ(count, 2000);
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
