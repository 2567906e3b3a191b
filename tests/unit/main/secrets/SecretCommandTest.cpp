#include <gtest/gtest.h>

#include <sstream>

#include "fakes/FakePlatform.h"
#include "base/Context.h"
#include "main/secrets/SecretCommand.h"
#include "base/Timings.h"
#include "support/CommandOutcome.h"

namespace {

class SecretCommandTest : public ::testing::Test {
 protected:
  CommandOutcome run(const std::string& action, const std::string& name,
                     const std::string& input = "") {
    std::istringstream stdinText(input);
    return runCommand(fakes.platform, timings,
                      [&](Context& context) { runSecret(context, action, name, stdinText); });
  }

  FakeSecretStore::Item* item(const std::string& name) {
    auto found = fakes.secretStore->items.find({"com.quorvel.vesk", name});
    return found == fakes.secretStore->items.end() ? nullptr : &found->second;
  }

  FakePlatform fakes;
  Timings timings;
};

}  // namespace

TEST_F(SecretCommandTest, SetStoresTheFirstLineWithoutItsEndingAndGetPrintsItExactly) {
  EXPECT_EQ(run("set", "token", "s3cr\xc3\xa9t\r\nsecond line\n").status, 0);
  ASSERT_NE(item("token"), nullptr);
  EXPECT_EQ(item("token")->value, "s3cr\xc3\xa9t");
  EXPECT_EQ(item("token")->label, "Vesk (token)");

  auto got = run("get", "token");
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.out, "s3cr\xc3\xa9t");
  EXPECT_EQ(got.outWrites, 1);
  EXPECT_EQ(got.err, "");
}

TEST_F(SecretCommandTest, ALastLineWithoutLineFeedIsTakenWhole) {
  EXPECT_EQ(run("set", "a b/c", "value\r").status, 0);
  ASSERT_NE(item("a b/c"), nullptr);
  EXPECT_EQ(item("a b/c")->value, "value\r");
}

TEST_F(SecretCommandTest, SetOnAnExistingNameReplacesTheValueAndKeepsItsLabel) {
  fakes.secretStore->items[{"com.quorvel.vesk", "token"}] = {"old", "Label set elsewhere"};
  EXPECT_EQ(run("set", "token", "new\n").status, 0);
  EXPECT_EQ(item("token")->value, "new");
  EXPECT_EQ(item("token")->label, "Label set elsewhere");
}

TEST_F(SecretCommandTest, SetWithoutAValueLeavesTheKeyringUntouched) {
  for (std::string input : {"", "\n", "\r\n"}) {
    auto set = run("set", "token", input);
    EXPECT_EQ(set.status, 64);
    EXPECT_EQ(set.err, "secret set: no value on stdin");
  }
  EXPECT_EQ(fakes.secretStore->calls, 0);
}

TEST_F(SecretCommandTest, GetOfAMissingNameIsSilentWithStatus3) {
  auto got = run("get", "never");
  EXPECT_EQ(got.status, 3);
  EXPECT_EQ(got.out, "");
  EXPECT_EQ(got.err, "");
}

TEST_F(SecretCommandTest, ClearRemovesAndAMissingItemIsNoError) {
  fakes.secretStore->items[{"com.quorvel.vesk", "token"}] = {"v", "l"};
  EXPECT_EQ(run("clear", "token").status, 0);
  EXPECT_EQ(item("token"), nullptr);
  auto again = run("clear", "token");
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.err, "");
}

TEST_F(SecretCommandTest, KeyringFailuresCarryTheErrorCode) {
  fakes.secretStore->failWith = 19;
  auto got = run("get", "token");
  EXPECT_EQ(got.status, 1);
  EXPECT_EQ(got.err, "Keychain read failed (19)");
  EXPECT_EQ(got.out, "");
  auto set = run("set", "token", "v\n");
  EXPECT_EQ(set.status, 1);
  EXPECT_EQ(set.err, "Keychain write failed (19)");
  auto cleared = run("clear", "token");
  EXPECT_EQ(cleared.status, 1);
  EXPECT_EQ(cleared.err, "Keychain delete failed (19)");
}

TEST_F(SecretCommandTest, AFailedAddReportsTheAddsCode) {
  fakes.secretStore->failAddWith = 2;
  auto set = run("set", "token", "v\n");
  EXPECT_EQ(set.status, 1);
  EXPECT_EQ(set.err, "Keychain write failed (2)");
}

TEST_F(SecretCommandTest, AnUnknownActionIsAUsageError) {
  auto fetched = run("fetch", "x");
  EXPECT_EQ(fetched.status, 64);
  EXPECT_EQ(fetched.err.rfind("usage: vesk-native", 0), 0u);
  EXPECT_EQ(fakes.secretStore->calls, 0);
}
