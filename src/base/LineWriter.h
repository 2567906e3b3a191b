#pragma once

#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

class Console;

// The text of one event line, without its newline: {"kind":"<kind>",<fields>}, kind first.
// Fields that cannot be written (invalid UTF-8) or are not an object leave the kind alone.
std::string eventLine(std::string_view kind, const nlohmann::json& fields);

// Writes event lines to standard output, one unbuffered write per line, from any thread.
// Lines are built on the caller's thread and written under the writer's lock, so they never
// interleave and appear in the order their writers took it. write() returns once the caller's
// own line has been handed to standard output. After writeLast() nothing more is written: a line
// that comes later is dropped.
//
// Threads: any. mutex_ guards closed_ and is held for one line's write.
class LineWriter {
 public:
  // Hands a long text over piece by piece.
  using Pieces = std::function<void(const std::function<void(std::string_view)>& piece)>;

  explicit LineWriter(Console& console);

  // The writer of this process's standard output, created on first use.
  static LineWriter& shared();

  void write(std::string_view kind, const nlohmann::json& fields = nlohmann::json::object());
  // Writes the line and closes the writer: it is the last line of the process.
  void writeLast(std::string_view kind, const nlohmann::json& fields = nlohmann::json::object());
  // A line with one string field too long to hold at once ({"kind":"<kind>","<field>":"..."}):
  // the pieces, which must need no JSON escaping but "/" (Base64, for one), go out as they come,
  // and no other line comes between them.
  void writeStreamed(std::string_view kind, std::string_view field, const Pieces& pieces);

 private:
  void put(std::string line, bool last);

  Console& console_;
  std::mutex mutex_;
  bool closed_ = false;
};

// Writes one event line through the process's line writer.
void emitLine(std::string_view kind, const nlohmann::json& fields = nlohmann::json::object());
