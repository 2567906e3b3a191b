#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "listening/engine/SerialQueue.h"

class Console;

// The text of one event line, without its newline: {"kind":"<kind>",<fields>}, kind first.
// Fields that cannot be written (invalid UTF-8) or are not an object leave the kind alone.
std::string eventLine(std::string_view kind, const nlohmann::json& fields);

// Writes event lines to standard output, one unbuffered write per line, from any thread.
// Lines are built on the caller's thread and written on the queue "vesk.lines", so they never
// interleave and appear in the order their writers reached the queue. write() returns once the
// caller's own line has been handed to standard output.
class LineWriter {
 public:
  explicit LineWriter(Console& console);

  // The writer of this process's standard output, created on first use.
  static LineWriter& shared();

  void write(std::string_view kind, const nlohmann::json& fields = nlohmann::json::object());

 private:
  Console& console_;
  SerialQueue queue_;
};

// Writes one event line through the process's line writer.
void emitLine(std::string_view kind, const nlohmann::json& fields = nlohmann::json::object());
