#pragma once

#include <filesystem>
#include <mutex>
#include <string_view>
#include <system_error>

// A file that only grows, line by line, each line on stable storage before append() returns:
// the run logs and the meeting transcripts. The file (and its folder) is made on the first
// append and kept open, and its name is synchronised to disk too; a failed open is tried again
// on the next append. A line goes in whole or not at all: when the file system fills up part of
// the way through, the file is cut back to where it ended, so a later line never continues a
// torn one.
//
// Threads: any. mutex_ guards fd_ and is held for one append, which is one write and its sync.
class DurableFile {
 public:
  // What failed, the path it failed on and the system's error.
  struct Failure : std::system_error {
    enum class Step { Create, Open, Write, Sync };
    Failure(Step step, std::filesystem::path path, std::error_code code);
    Step step;
    std::filesystem::path path;
  };

  explicit DurableFile(std::filesystem::path path);
  ~DurableFile();
  DurableFile(const DurableFile&) = delete;
  DurableFile& operator=(const DurableFile&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Appends the line (its newline included). Throws Failure.
  void append(std::string_view line);
  // Closes the file; a later append opens it again.
  void close();

 private:
  void open();

  const std::filesystem::path path_;
  std::mutex mutex_;
  int fd_ = -1;
};
