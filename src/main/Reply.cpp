#include "main/Reply.h"

#include "base/Console.h"
#include "base/ExitStatus.h"
#include "base/JsonText.h"
#include "base/Usage.h"

#include <cstdlib>

void emit(Console& console, const nlohmann::json& value) {
  // No command builds text that is not UTF-8; should one, its bad bytes become U+FFFD
  // rather than the reply being lost.
  console.out(jsonText(value, nlohmann::json::error_handler_t::replace));
}

void fail(Console& console, std::string_view message, int status) {
  console.err(message);
  console.end(status);
  std::abort();  // end() never returns; this only guards against a console that does
}

void usageError(Console& console) { fail(console, USAGE, EXIT_USAGE); }

void reply(Console& console, const nlohmann::json& value) {
  emit(console, value);
  console.end(EXIT_OK);
  std::abort();
}
