#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <stdexcept>

#include "platform/linux/glib/FinishedWithin.h"

using namespace std::chrono_literals;

// A call that never comes back is given up at the limit; one that does gives its result or
// its failure.
TEST(FinishedWithin, AStuckCallIsGivenUpAndOthersAnswer) {
  std::promise<void> release;
  auto released = release.get_future().share();
  const auto began = std::chrono::steady_clock::now();
  EXPECT_FALSE(finishedWithin(20ms, [released] {
                 released.wait();
                 return 1;
               }).has_value());
  EXPECT_LT(std::chrono::steady_clock::now() - began, 2s);
  release.set_value();

  auto answered = finishedWithin(5s, [] { return 7; });
  ASSERT_TRUE(answered.has_value());
  EXPECT_EQ(answered->get(), 7);
  auto failed = finishedWithin(5s, []() -> int { throw std::runtime_error("refused"); });
  ASSERT_TRUE(failed.has_value());
  EXPECT_THROW(failed->get(), std::runtime_error);
}
