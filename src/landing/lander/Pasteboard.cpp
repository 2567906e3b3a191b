#include "landing/lander/Pasteboard.h"

SavedClipboard snapshot(Clipboard& board) {
  SavedClipboard saved;
  if (!board.hasContents()) return saved;
  for (const auto& type : board.types()) {
    if (auto data = board.read(type)) saved.push_back({type, std::move(*data)});
  }
  return saved;
}

bool hidesItsItems(Clipboard& board, const SavedClipboard& saved) {
  return saved.empty() && board.hasContents();
}

void restore(const SavedClipboard& saved, Clipboard& board) {
  board.clear();
  if (!saved.empty()) board.write(saved);
}

void writeForPaste(const std::string& text, Clipboard& board) {
  auto flavors = board.textFlavors(text);
  flavors.push_back(board.transientMarker());
  board.clear();
  board.write(flavors);
}

void writeText(const std::string& text, Clipboard& board) {
  board.clear();
  board.write(board.textFlavors(text));
}
