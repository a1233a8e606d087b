// The bound on password hashes under way.

#include "server/accounts/hash_slots.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace wharfling::server {
namespace {

TEST(HashSlotsTest, NoMoreHashesRunThanItsSlots) {
  HashSlots slots(2);
  std::atomic<int> running{0};
  std::atomic<int> most{0};
  std::vector<std::thread> logins;
  for (int i = 0; i < 8; ++i) {
    logins.emplace_back([&] {
      HashSlots::Slot slot(slots);
      const int now = ++running;
      int seen = most;
      while (now > seen && !most.compare_exchange_weak(seen, now)) {
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      --running;
    });
  }
  for (auto& login : logins) login.join();
  EXPECT_EQ(most, 2);
}

}  // namespace
}  // namespace wharfling::server
