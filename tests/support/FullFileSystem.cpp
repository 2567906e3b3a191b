#include "support/FullFileSystem.h"

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

FullFileSystem::FullFileSystem(std::filesystem::path at) : root_(std::move(at)) {
  std::filesystem::create_directories(root_);
  if (::mount("tmpfs", root_.c_str(), "tmpfs", 0, "size=512k,mode=0755") != 0) {
    refused_ = "mounting a tmpfs was refused (" + std::string(std::strerror(errno)) +
               "): run as root to test a full data folder";
    return;
  }
  mounted_ = true;
}

FullFileSystem::~FullFileSystem() {
  if (mounted_) ::umount2(root_.c_str(), MNT_DETACH);
}

void FullFileSystem::fill() {
  std::ofstream filler(root_ / "filler", std::ios::binary | std::ios::app);
  const std::string block(4096, 'x');
  while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
  }
}

void FullFileSystem::makeRoom() { std::filesystem::remove(root_ / "filler"); }
