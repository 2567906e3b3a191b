#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>

#include "platform/linux/glib/FinishedWithin.h"

using namespace std::chrono_literals;

// A call past its limit is told so once; one that then comes back in time still answers, one
// that never does is given up. A call that answers in time is not told, and its result or its
// failure comes through.
TEST(FinishedWithin, TheLimitCancelsThenTheBackstopGivesUp) {
  std::atomic<int> told{0};
  auto tell = [&told] { ++told; };

  auto cancel = std::make_shared<std::promise<void>>();
  auto onCancel = cancel->get_future().share();
  auto cut = finishedWithin(
      20ms, 5s, [onCancel] { onCancel.wait(); return 3; }, [&told, cancel] {
        ++told;
        cancel->set_value();
      });
  ASSERT_TRUE(cut.has_value());
  EXPECT_EQ(cut->get(), 3);
  EXPECT_EQ(told, 1);

  std::promise<void> release;
  auto released = release.get_future().share();
  const auto began = std::chrono::steady_clock::now();
  EXPECT_FALSE(finishedWithin(20ms, 20ms, [released] {
                 released.wait();
                 return 1;
               }, tell).has_value());
  EXPECT_LT(std::chrono::steady_clock::now() - began, 2s);
  EXPECT_EQ(told, 2);
  release.set_value();

  auto answered = finishedWithin(5s, 5s, [] { return 7; }, tell);
  ASSERT_TRUE(answered.has_value());
  EXPECT_EQ(answered->get(), 7);
  auto failed = finishedWithin(5s, 5s, []() -> int { throw std::runtime_error("refused"); }, tell);
  ASSERT_TRUE(failed.has_value());
  EXPECT_THROW(failed->get(), std::runtime_error);
  EXPECT_EQ(told, 2);
}
