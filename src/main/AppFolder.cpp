#include "main/AppFolder.h"

#include "platform/XdgFolders.h"

std::filesystem::path appFolder() { return XdgFolders().appFolder(); }
