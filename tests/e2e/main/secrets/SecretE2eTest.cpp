// secret get|set|clear through the built binary against the test keyring.
#include <gtest/gtest.h>
#include <libsecret/secret.h>
#include <unistd.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "support/BackgroundProgram.h"
#include "support/Eventually.h"
#include "support/Files.h"
#include "support/LiveProcess.h"
#include "support/PrivateStore.h"
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

// A keyring of the test's own, on a private bus, unlocked with its default collection; tests may
// lock or hang it, since the test services' one is shared.
class PrivateKeyring {
 public:
  PrivateKeyring() {
    // No display for the prompter the bus starts: the keyring's unlock prompt can't be shown, so
    // an unlock is refused at once.
    options_.timeoutSeconds = 20;
    EXPECT_EQ(runProgram("/usr/bin/dbus-update-activation-environment", {"DISPLAY=", "WAYLAND_DISPLAY="},
                         options_).status,
              0);
    const auto password = bus_.scratch().root() / "password";
    std::ofstream(password) << "vesk-test";
    keyring_ = std::make_unique<BackgroundProgram>(
        "/bin/sh",
        std::vector<std::string>{"-c", "exec gnome-keyring-daemon --foreground --unlock "
                                       "--components=secrets < " + password.string()},
        options_);
    EXPECT_TRUE(eventually([this] { return bus_.serviceProcess("org.freedesktop.secrets") != 0; },
                           std::chrono::seconds(10), std::chrono::milliseconds(100)))
        << "the private keyring did not start";
  }

  RunResult secret(const std::string& action, const std::string& name, const std::string& input = "") const {
    RunOptions options = options_;
    options.input = input;
    return runVesk({"secret", action, name}, options);
  }
  // Locks the default collection, as the desktop does when the screen locks.
  void lock() const {
    RunResult alias = gdbus("org.freedesktop.Secret.Service.ReadAlias", {"default"});
    const auto begin = alias.out.find("'/"), end = alias.out.find("'", begin + 1);
    ASSERT_NE(begin, std::string::npos) << alias.out << alias.err;
    const std::string collection = alias.out.substr(begin + 1, end - begin - 1);
    RunResult locked = gdbus("org.freedesktop.Secret.Service.Lock", {"['" + collection + "']"});
    ASSERT_EQ(locked.status, 0) << locked.err;
  }
  pid_t pid() const { return keyring_->pid(); }
  const PrivateStore& bus() const { return bus_; }
  const RunOptions& options() const { return options_; }

 private:
  RunResult gdbus(const std::string& method, const std::vector<std::string>& args) const {
    std::vector<std::string> line{"call", "--session", "--dest", "org.freedesktop.secrets",
                                  "--object-path", "/org/freedesktop/secrets", "--method", method};
    line.insert(line.end(), args.begin(), args.end());
    return runProgram("/usr/bin/gdbus", line, options_);
  }

  PrivateStore bus_;
  RunOptions options_ = bus_.options();
  std::unique_ptr<BackgroundProgram> keyring_;
};

// The process and all its descendants, by their parents in /proc.
std::vector<pid_t> processTree(pid_t root) {
  std::vector<pid_t> tree{root};
  for (std::size_t at = 0; at < tree.size(); ++at) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
      const std::string name = entry.path().filename();
      if (name.find_first_not_of("0123456789") != std::string::npos) continue;
      const std::string stat = fileText(entry.path() / "stat");
      std::istringstream after(stat.substr(stat.rfind(')') + 1));
      std::string state;
      pid_t parent = 0;
      after >> state >> parent;
      if (parent == tree[at]) tree.push_back(std::stoi(name));
    }
  }
  return tree;
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

  // Only "set" reads standard input: "get" and "clear" answer while the app leaves it open.
  for (const std::string action : {"get", "clear"}) {
    LiveProcess open({"secret", action, name}, {});
    EXPECT_EQ(open.waitExit(std::chrono::seconds(10)), 0) << action;
  }
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

// A locked collection whose unlock is refused: reading or writing a stored secret is a failure
// with the keyring's code, never "no such secret"; a name never stored is still missing.
TEST(SecretE2e, ALockedKeyringIsAFailureWithACode) {
  requireKeyring();
  PrivateKeyring keyring;
  ASSERT_EQ(keyring.secret("set", "stored", "before\n").status, 0);
  keyring.lock();
  struct Case {
    std::string action, name, input;
    int status;
    std::string err;
  };
  for (const Case& c : std::vector<Case>{{"get", "stored", "", 1, "Keychain read failed (2)"},
                                         {"get", "never stored", "", 3, ""},
                                         {"set", "stored", "after\n", 1, "Keychain write failed (2)"},
                                         {"set", "new", "after\n", 1, "Keychain write failed (2)"}}) {
    SCOPED_TRACE(c.action + " " + c.name);
    RunResult result = keyring.secret(c.action, c.name, c.input);
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, "");
  }
}

// A secret is never on a command line or in an environment (of the bridge or anything it
// starts), in its files, or in any output but the reply of "secret get".
TEST(SecretE2e, ASecretShowsOnlyInTheReplyOfGet) {
  requireKeyring();
  PrivateKeyring keyring;
  const std::string value = "tr0ub4dor-" + std::to_string(getpid());
  // The bridge waits for a hung keyring while the test looks at it and at what it started.
  kill(keyring.pid(), SIGSTOP);
  auto env = keyring.options().env;
  LiveProcess set({"secret", "set", "mail"}, env);
  set.write(value + "\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  for (pid_t pid : processTree(set.pid())) {
    for (const char* part : {"cmdline", "environ"}) {
      const std::string text = fileText("/proc/" + std::to_string(pid) + "/" + part);
      EXPECT_EQ(text.find(value), std::string::npos) << "pid " << pid << " " << part;
    }
  }
  kill(keyring.pid(), SIGCONT);
  EXPECT_EQ(set.waitExit(std::chrono::seconds(10)), 0) << set.err();
  EXPECT_TRUE(set.lines().empty());
  EXPECT_EQ(set.err(), "");

  RunResult got = keyring.secret("get", "mail");
  EXPECT_EQ(got.status, 0);
  EXPECT_EQ(got.out, value);
  EXPECT_EQ(got.err, "");
  for (const std::string action : {"clear", "get"}) {
    RunResult result = keyring.secret(action, "mail");
    EXPECT_EQ(result.out + result.err, "") << action;
  }
  // Nothing the bridge wrote under the scratch HOME (logs, caches) holds it.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(keyring.bus().scratch().home())) {
    if (!entry.is_regular_file() || entry.path().string().find("keyrings") != std::string::npos) continue;
    EXPECT_EQ(fileText(entry.path()).find(value), std::string::npos) << entry.path();
  }
}
