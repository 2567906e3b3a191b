#pragma once

#include <string>
#include <vector>

#include "platform/Clipboard.h"

// The clipboard's contents, saved to be put back: every flavor its owner gives, in the owner's
// order; the flavors that cannot be read are left out.
using SavedClipboard = std::vector<ClipboardFlavor>;

SavedClipboard snapshot(Clipboard& board);
// True when nothing could be saved although the clipboard holds something: its contents
// cannot be put back.
bool hidesItsItems(Clipboard& board, const SavedClipboard& saved);
// Empties the clipboard (always), then offers the saved flavors again, if there are any.
void restore(const SavedClipboard& saved, Clipboard& board);
// Replaces the clipboard's contents with the text, marked for clipboard-history tools to skip.
void writeForPaste(const std::string& text, Clipboard& board);
// Replaces the clipboard's contents with the text, meant to stay for the user.
void writeText(const std::string& text, Clipboard& board);
