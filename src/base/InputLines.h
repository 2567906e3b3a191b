#pragma once

#include <functional>
#include <string>

// Reads a file descriptor (standard input) line by line with read(2), calling the handler with
// each line without its "\n", until end of input or a read error; a last line without "\n"
// counts too. Never goes through stdio, whose stream lock a blocked read would hold against
// the flush at the process's end.
void readInputLines(int fd, const std::function<void(const std::string&)>& onLine);
