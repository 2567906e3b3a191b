#pragma once

#include <filesystem>
#include <string>

// A small tmpfs mounted for one test (mounting needs root: CI runs as root), unmounted when the
// test ends. fill() takes every free block, so the next write that needs a new block fails with
// "No space left on device"; makeRoom() gives them back.
class FullFileSystem {
 public:
  explicit FullFileSystem(std::filesystem::path at);
  ~FullFileSystem();
  FullFileSystem(const FullFileSystem&) = delete;
  FullFileSystem& operator=(const FullFileSystem&) = delete;

  // Empty when mounted, else why not (the test skips with it).
  const std::string& refused() const { return refused_; }
  const std::filesystem::path& root() const { return root_; }

  void fill();
  void makeRoom();

 private:
  std::filesystem::path root_;
  std::string refused_;
  bool mounted_ = false;
};
