#pragma once

#include <string_view>

// Appends one line to a file opened for appending, whole or not at all: when the file system
// fills up (or any write fails) part of the way through, the file is cut back to where it ended,
// so a later line never continues a torn one. Throws std::system_error with the write's error.
// The caller is the file's only writer while this runs.
void appendWholeLine(int fd, std::string_view line);
