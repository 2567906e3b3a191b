#include <gtest/gtest.h>

#include "fakes/FakeConsole.h"
#include "main/Reply.h"

using nlohmann::json;

TEST(Reply, WritesCompactJsonWithEscapedSlashesAndRawUtf8) {
  json value = {{"path", "/a/b"}, {"name", "Caf\u00e9 \u2192 \U0001F600"}, {"n", 3}};
  EXPECT_EQ(jsonText(value), R"({"n":3,"name":"Café → 😀","path":"\/a\/b"})");
  EXPECT_EQ(jsonText(json::array({"x/y", nullptr, true, 1.5})), R"(["x\/y",null,true,1.5])");
  // A slash that is already escaped text stays one backslash per slash of the value.
  EXPECT_EQ(jsonText(json("a\\/b")), R"("a\\\/b")");
}

TEST(Reply, EmitIsOneWriteWithoutNewline) {
  FakeConsole console;
  emit(console, {{"excluded", true}});
  EXPECT_EQ(console.stdoutText(), R"({"excluded":true})");
  EXPECT_EQ(console.stdoutWrites(), 1);
  EXPECT_EQ(console.stderrText(), "");
}

TEST(Reply, EmitReplacesInvalidUtf8InsteadOfLosingTheReply) {
  FakeConsole console;
  emit(console, json::array({std::string("ok\xff")}));
  EXPECT_EQ(console.stdoutText(), "[\"ok\xEF\xBF\xBD\"]");
  EXPECT_THROW(jsonText(json(std::string("\xff"))), json::type_error);
}

TEST(Reply, FailWritesTheMessageAsItStandsAndEnds) {
  FakeConsole console;
  try {
    fail(console, "Couldn\u2019t do it", 3);
    FAIL() << "fail returned";
  } catch (const ProcessEnded& ended) {
    EXPECT_EQ(ended.status, 3);
  }
  EXPECT_EQ(console.stderrText(), "Couldn\u2019t do it");
  EXPECT_EQ(console.stdoutText(), "");
}

TEST(Reply, UsageTextIsOneLine) {
  EXPECT_EQ(USAGE.find('\n'), std::string_view::npos);
  EXPECT_TRUE(USAGE.starts_with("usage: vesk-native calendars | events <fromISO>"));
  EXPECT_TRUE(USAGE.ends_with("listen hold-key <control|right-option|none>"));
}
