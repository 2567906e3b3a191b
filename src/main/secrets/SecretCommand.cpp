#include "main/secrets/SecretCommand.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <sstream>

#include "base/Console.h"
#include "base/Context.h"
#include "base/ExitStatus.h"
#include "main/Reply.h"
#include "base/Timings.h"
#include "platform/Platform.h"
#include "platform/SecretStore.h"

namespace {

constexpr std::string_view SECRET_SERVICE = "com.quorvel.vesk";

SecretKey secretQuery(const std::string& name) { return {std::string(SECRET_SERVICE), name}; }

std::string secretLabel(const std::string& name) { return "Vesk (" + name + ")"; }

std::string withCode(std::string_view message, int code) {
  return std::string(message) + " (" + std::to_string(code) + ")";
}

[[noreturn]] void finish(Console& console, int status) {
  console.end(status);
  std::abort();  // end() never returns
}

// The first line of the input without its line ending (a line feed, or a carriage return and
// a line feed); nothing when the input ends before a line or the line is empty.
std::optional<std::string> firstLine(std::istream& input) {
  std::string line;
  if (!std::getline(input, line)) return std::nullopt;
  bool ended = !input.eof();
  if (ended && !line.empty() && line.back() == '\r') line.pop_back();
  if (line.empty()) return std::nullopt;
  return line;
}

[[noreturn]] void get(Context& context, SecretStore& store, const std::string& name) {
  std::optional<std::string> value;
  try {
    value = store.read(secretQuery(name), context.timings.secretCallLimit);
  } catch (const SecretStoreError& error) {
    fail(context.console, withCode("Keychain read failed", error.code), EXIT_FAILED);
  }
  if (!value) finish(context.console, EXIT_NOT_FOUND);
  context.console.out(*value);
  finish(context.console, EXIT_OK);
}

[[noreturn]] void set(Context& context, SecretStore& store, const std::string& name,
                      std::istream& input) {
  auto value = firstLine(input);
  if (!value) fail(context.console, "secret set: no value on stdin", EXIT_USAGE);
  auto limit = context.timings.secretCallLimit;
  try {
    // Replacing keeps an existing item's label; only a new item gets ours.
    if (!store.replace(secretQuery(name), *value, limit)) {
      store.add(secretQuery(name), *value, secretLabel(name), limit);
    }
  } catch (const SecretStoreError& error) {
    fail(context.console, withCode("Keychain write failed", error.code), EXIT_FAILED);
  }
  finish(context.console, EXIT_OK);
}

[[noreturn]] void clear(Context& context, SecretStore& store, const std::string& name) {
  try {
    store.remove(secretQuery(name), context.timings.secretCallLimit);
  } catch (const SecretStoreError& error) {
    fail(context.console, withCode("Keychain delete failed", error.code), EXIT_FAILED);
  }
  finish(context.console, EXIT_OK);
}

// `input` is needed by "set" only.
[[noreturn]] void run(Context& context, const std::string& action, const std::string& name,
                      std::istream* input) {
  SecretStore& store = *context.platform.secretStore;
  if (action == "get") get(context, store, name);
  if (action == "set" && input) set(context, store, name, *input);
  if (action == "clear") clear(context, store, name);
  usageError(context.console);
}

}  // namespace

void runSecret(Context& context, const std::string& action, const std::string& name,
               std::istream& input) {
  run(context, action, name, &input);
}

void runSecret(Context& context, const std::string& action, const std::string& name) {
  // Only "set" reads standard input (the others answer while the app leaves it open), up to its
  // first line feed and directly: the standard streams' set-up is then paid by no command. The
  // others build no stream at all: the first one of a process sets up the C++ locale, about
  // 0.06 ms of start-up.
  if (action != "set") run(context, action, name, nullptr);
  std::string head;
  char chunk[4096];
  while (head.find('\n') == std::string::npos) {
    const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    head.append(chunk, static_cast<std::size_t>(got));
  }
  std::istringstream input(head);
  run(context, action, name, &input);
}
