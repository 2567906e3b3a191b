// A platform service is made once, on first use, however many threads ask for it at once.
#include "platform/OnDemand.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

struct Service {
  int id;
};

}  // namespace

TEST(OnDemand, MakesTheServiceOnceOnFirstUseFromAnyThread) {
  OnDemand<Service> slot;
  std::atomic<int> made{0};
  slot.makeWith([&made] { return std::make_unique<Service>(Service{++made}); });
  EXPECT_EQ(made, 0) << "nothing is made before the first use";

  std::vector<std::thread> users;
  std::atomic<int> sawOther{0};
  for (int i = 0; i < 8; ++i) {
    users.emplace_back([&] {
      if (slot->id != 1) ++sawOther;
    });
  }
  for (auto& user : users) user.join();
  EXPECT_EQ(made, 1);
  EXPECT_EQ(sawOther, 0);
}

TEST(OnDemand, AFakePutInItIsUsedAndNothingIsLoaded) {
  OnDemand<Service> slot;
  bool loaded = false;
  slot.makeWith([&loaded] {
    loaded = true;
    return std::make_unique<Service>(Service{1});
  });
  slot = std::make_unique<Service>(Service{7});
  EXPECT_EQ((*slot).id, 7);
  EXPECT_FALSE(loaded);

  OnDemand<Service> empty;
  EXPECT_THROW((void)empty->id, std::logic_error);
}
