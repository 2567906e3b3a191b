#pragma once

#include <filesystem>

// The program's own data folder: $XDG_DATA_HOME/com.quorvel.vesk, where XDG_DATA_HOME defaults
// to ~/.local/share (XdgFolders::appFolder). Not created here.
std::filesystem::path appFolder();
