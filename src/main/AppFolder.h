#pragma once

#include <filesystem>

// The user's home folder: $HOME, else the password database's entry, else "/".
std::filesystem::path homeFolder();

// The user's data folder: $XDG_DATA_HOME when it is absolute, else ~/.local/share.
std::filesystem::path dataHome();

// The program's own data folder: $XDG_DATA_HOME/com.quorvel.vesk, where XDG_DATA_HOME defaults
// to ~/.local/share. Not created here.
std::filesystem::path appFolder();
