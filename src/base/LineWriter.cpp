#include "base/LineWriter.h"

#include "base/Console.h"
#include "base/ProcessConsole.h"
#include "base/JsonText.h"

std::string eventLine(std::string_view kind, const nlohmann::json& fields) {
  std::string line = "{\"kind\":\"";
  line += kind;
  line += '"';
  if (fields.is_object() && !fields.empty()) {
    try {
      std::string text = jsonText(fields);
      line += ',';
      line.append(text, 1, std::string::npos);
      return line;
    } catch (const nlohmann::json::exception&) {
      // Unwritable fields: the line still goes out, with its kind alone.
    }
  }
  line += '}';
  return line;
}

LineWriter::LineWriter(Console& console) : console_(console) {}

LineWriter& LineWriter::shared() {
  // Never destroyed: threads may still write lines while the process ends.
  static LineWriter* writer = new LineWriter(ProcessConsole::shared());
  return *writer;
}

void LineWriter::write(std::string_view kind, const nlohmann::json& fields) {
  put(eventLine(kind, fields), false);
}

void LineWriter::writeLast(std::string_view kind, const nlohmann::json& fields) {
  put(eventLine(kind, fields), true);
}

void LineWriter::put(std::string line, bool last) {
  line += '\n';
  std::lock_guard guard(mutex_);
  if (closed_) return;
  closed_ = last;
  console_.out(line);
}

void LineWriter::writeStreamed(std::string_view kind, std::string_view field, const Pieces& pieces) {
  std::string head = "{\"kind\":\"";
  head += kind;
  head += "\",\"";
  head += field;
  head += "\":\"";
  std::lock_guard guard(mutex_);
  if (closed_) return;
  console_.out(head);
  std::string escaped;
  pieces([this, &escaped](std::string_view piece) {
    // As in every line, "/" is written as "\/".
    escaped.clear();
    for (char c : piece) {
      if (c == '/') escaped += '\\';
      escaped += c;
    }
    console_.out(escaped);
  });
  console_.out("\"}\n");
}

void emitLine(std::string_view kind, const nlohmann::json& fields) {
  LineWriter::shared().write(kind, fields);
}
