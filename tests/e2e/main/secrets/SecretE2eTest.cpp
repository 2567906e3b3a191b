// secret get|set|clear through the built binary against the test keyring.
#include <gtest/gtest.h>
#include <libsecret/secret.h>
#include <unistd.h>

#include <cstdlib>
#include <map>

#include "support/Run.h"

namespace {

void requireKeyring() {
  ASSERT_NE(std::getenv("VESK_TEST_SERVICES"), nullptr)
      << "the test keyring is not running: run through tests/services/with-services.sh";
}

// A name of this test run's own, with a space and slashes as callers may use.
std::string uniqueName(const std::string& what) {
  return "e2e " + what + "/" + std::to_string(getpid()) + "/x";
}

RunResult secret(const std::string& action, const std::string& name,
                 const std::string& input = "") {
  RunOptions options;
  options.input = input;
  return runVesk({"secret", action, name}, options);
}

// The keyring's items of our service under that name, looked at directly.
struct KeyringItem {
  std::string label;
  std::map<std::string, std::string> attributes;
};

// The keyring items of our service under that name; the caller frees the list.
GList* searchItems(const std::string& name) {
  GError* error = nullptr;
  GHashTable* query = g_hash_table_new(g_str_hash, g_str_equal);
  g_hash_table_insert(query, const_cast<char*>("service"), const_cast<char*>("com.quorvel.vesk"));
  g_hash_table_insert(query, const_cast<char*>("account"), const_cast<char*>(name.c_str()));
  GList* found = secret_service_search_sync(nullptr, nullptr, query, SECRET_SEARCH_ALL, nullptr,
                                            &error);
  g_hash_table_unref(query);
  EXPECT_EQ(error, nullptr) << (error ? error->message : "");
  if (error != nullptr) g_error_free(error);
  return found;
}

std::vector<KeyringItem> itemsNamed(const std::string& name) {
  GList* found = searchItems(name);
  std::vector<KeyringItem> items;
  for (GList* each = found; each != nullptr; each = each->next) {
    auto* item = SECRET_ITEM(each->data);
    KeyringItem seen;
    gchar* label = secret_item_get_label(item);
    seen.label = label != nullptr ? label : "";
    g_free(label);
    GHashTable* attributes = secret_item_get_attributes(item);
    GHashTableIter iter;
    gpointer key = nullptr;
    gpointer value = nullptr;
    g_hash_table_iter_init(&iter, attributes);
    while (g_hash_table_iter_next(&iter, &key, &value)) {
      seen.attributes[static_cast<char*>(key)] = static_cast<char*>(value);
    }
    g_hash_table_unref(attributes);
    items.push_back(seen);
  }
  g_list_free_full(found, g_object_unref);
  return items;
}

// Changes the label as another keyring client (a keyring manager) would.
void relabel(const std::string& name, const std::string& label) {
  GList* found = searchItems(name);
  ASSERT_NE(found, nullptr);
  GError* error = nullptr;
  EXPECT_TRUE(secret_item_set_label_sync(SECRET_ITEM(found->data), label.c_str(), nullptr, &error));
  if (error != nullptr) g_error_free(error);
  g_list_free_full(found, g_object_unref);
}

}  // namespace

TEST(SecretE2e, SetGetClearAndMissing) {
  requireKeyring();
  std::string name = uniqueName("round trip");
  RunResult missing = secret("get", name);
  EXPECT_EQ(missing.status, 3);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err, "");

  RunResult set = secret("set", name, "p\xc3\xa4ss word\nsecond line\n");
  EXPECT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(set.out + set.err, "");
  RunResult got = secret("get", name);
  EXPECT_EQ(got.status, 0) << got.err;
  EXPECT_EQ(got.out, "p\xc3\xa4ss word");

  auto items = itemsNamed(name);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].label, "Vesk (" + name + ")");
  // The keyring itself tags items with their type ("xdg:schema"); we set the other two.
  items[0].attributes.erase("xdg:schema");
  std::map<std::string, std::string> wanted{{"service", "com.quorvel.vesk"}, {"account", name}};
  EXPECT_EQ(items[0].attributes, wanted);

  EXPECT_EQ(secret("clear", name).status, 0);
  EXPECT_EQ(secret("get", name).status, 3);
  RunResult again = secret("clear", name);
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.out + again.err, "");
}

TEST(SecretE2e, ReplacingKeepsTheItemAndItsLabel) {
  requireKeyring();
  std::string name = uniqueName("label");
  ASSERT_EQ(secret("set", name, "one\r\n").status, 0);
  relabel(name, "Renamed by the user");
  ASSERT_EQ(secret("set", name, "two\n").status, 0);
  EXPECT_EQ(secret("get", name).out, "two");
  auto items = itemsNamed(name);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].label, "Renamed by the user");
  secret("clear", name);
}

TEST(SecretE2e, NoValueOnStdinTouchesNothing) {
  requireKeyring();
  std::string name = uniqueName("empty");
  for (std::string input : {"", "\n"}) {
    RunResult set = secret("set", name, input);
    EXPECT_EQ(set.status, 64);
    EXPECT_EQ(set.err, "secret set: no value on stdin");
  }
  EXPECT_TRUE(itemsNamed(name).empty());
}

TEST(SecretE2e, AnUnreachableKeyringIsAFailureWithACode) {
  requireKeyring();
  RunOptions options;
  options.env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=/nonexistent/bus";
  RunResult got = runVesk({"secret", "get", "anything"}, options);
  EXPECT_EQ(got.status, 1);
  EXPECT_EQ(got.err.rfind("Keychain read failed (", 0), 0u) << got.err;
  EXPECT_EQ(got.out, "");
}

TEST(SecretE2e, ANameThatIsNotUtf8IsRefusedBeforeTheKeyringIsTouched) {
  requireKeyring();
  std::string name = uniqueName("bad \xff");
  RunResult set = secret("set", name, "value\n");
  EXPECT_EQ(set.status, 1);
  EXPECT_EQ(set.err, "Keychain write failed (13)");
  RunResult got = secret("get", name);
  EXPECT_EQ(got.status, 1);
  EXPECT_EQ(got.err, "Keychain read failed (13)");
  EXPECT_EQ(got.out, "");
}
