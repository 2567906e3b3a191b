#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "base/ProcessConsole.h"

using namespace std::chrono_literals;

// A parent may hand over a non-blocking pipe that is full when a line is written: the line
// waits for the reader and goes out whole, never torn.
TEST(ProcessConsole, AFullNonBlockingPipeDelaysTheLineButNeverTearsIt) {
  int ends[2];
  ASSERT_EQ(pipe2(ends, O_NONBLOCK | O_CLOEXEC), 0);
  const std::string filler(fcntl(ends[1], F_GETPIPE_SZ), 'x');
  ASSERT_EQ(write(ends[1], filler.data(), filler.size()), static_cast<ssize_t>(filler.size()));

  std::string read;
  std::thread reader([&] {
    std::this_thread::sleep_for(50ms);  // the writer meets a full pipe first
    fcntl(ends[0], F_SETFL, 0);
    char chunk[65536];
    for (ssize_t n; (n = ::read(ends[0], chunk, sizeof chunk)) > 0;) read.append(chunk, n);
  });
  ProcessConsole console(ends[1], ends[1]);
  const std::string shortLine = "{\"kind\":\"line\",\"text\":\"hello\"}\n";
  const std::string longLine = "{\"kind\":\"sound\",\"wav\":\"" + std::string(200000, 'A') + "\"}\n";
  console.out(shortLine);
  console.out(longLine);
  close(ends[1]);
  reader.join();
  close(ends[0]);
  EXPECT_EQ(read, filler + shortLine + longLine);
}
