#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

struct Context;
struct Platform;
struct Route;

// The process arguments without the program path.
using Arguments = std::vector<std::string>;

// One command: the words that name it, the check of its arguments and its handler. The table of
// commands, in the order they are tried, is in Dispatch.cpp; adding a command is adding a row.
struct CommandRow {
  enum class Match {
    Words,   // the arguments begin with the phrase, word for word
    Prefix,  // the first argument begins with the phrase
  };

  // The phrases that name the command ("browsers", "listen who mic"); the first one names the
  // row in tests and messages.
  std::vector<std::string_view> phrases;
  Match match = Match::Words;
  // When not 0, the phrase names this row only with exactly this many arguments; with any other
  // count it is tried against the later rows.
  std::size_t onlyWithCount = 0;
  // Whether the arguments are accepted; works out into the route what the handler needs. Asked
  // only when the row is named, so a check that asks the platform (sound, opener) never touches
  // a service for another command.
  bool (*accepts)(const Arguments& args, Platform& platform, Route& route) = nullptr;
  // Runs the command. Never returns: every command ends the process.
  void (*run)(Context& context, const Arguments& args, const Route& route) = nullptr;

  // Whether the arguments name this row.
  bool named(const Arguments& args) const;
};

// Where a command line goes, with what its row's check worked out.
struct Route {
  const CommandRow* row = nullptr;  // none: the usage error
  // listen dictate: the mode's quiet time and its two switches.
  double quietSeconds = 0;
  bool hold = false;
  bool keep = false;
  // reminder-list-order: the parsed request object.
  nlohmann::json request;

  // The row's first phrase; "" for the usage error.
  std::string_view command() const;
};

// Recognises the command: the first row the arguments name, if its check accepts them; else
// the usage error. A named row whose check fails is the usage error; later rows are not tried.
Route route(const Arguments& args, Platform& platform);

// Runs the command the arguments name. Never returns: every command ends the process.
[[noreturn]] void dispatch(Context& context, const Arguments& args);
