#pragma once

#include <string>

// The control word of one line of standard input ("stop", "cancel", "hear-them"): the line
// without its line ending and without the spaces and tabs around it.
std::string controlWord(std::string line);
