#include <gtest/gtest.h>

#include <future>
#include <vector>

#include "base/SerialQueue.h"

TEST(SerialQueue, ASuspendedQueueHoldsItsWorkInOrderUntilResumed) {
  SerialQueue queue("test.held", SerialQueue::Start::Suspended);
  std::vector<int> order;
  for (int i = 0; i < 3; ++i) queue.post([&order, i] { order.push_back(i); });
  EXPECT_FALSE(queue.running());
  EXPECT_TRUE(order.empty());
  queue.resume();
  queue.sync([] {});
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST(SerialQueue, AQueueDestroyedByItsOwnWorkEndsCleanly) {
  // The work holds the last reference to the queue's owner, as a job holding its object does.
  auto owner = std::make_shared<SerialQueue>("test.self");
  std::promise<void> released;
  auto done = released.get_future();
  SerialQueue* queue = owner.get();
  queue->post([owner = std::move(owner), &released]() mutable {
    owner.reset();
    released.set_value();
  });
  EXPECT_EQ(done.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the thread leaves its run()
}
