// The brake on password guessing, on a clock the test moves.

#include "server/accounts/login_brake.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace wharfling::server {
namespace {

using namespace std::chrono_literals;
using Clock = LoginBrake::Clock;

TEST(LoginBrake, WaitsDoubleAfterTheFreeFailuresAndASuccessClearsThem) {
  LoginBrake brake({3, 3, 1000ms, 8000ms, 2, 100});
  const Clock::time_point t0{};
  const std::chrono::milliseconds expected[] = {0ms, 0ms, 1000ms, 2000ms, 4000ms, 8000ms, 8000ms};
  for (const auto wait : expected) {
    brake.Failed("10.0.0.1", "alice", t0);
    EXPECT_EQ(brake.WaitFor("10.0.0.1", "", t0), wait);
    EXPECT_EQ(brake.WaitFor("10.0.0.9", "alice", t0), wait) << "the account waits from any address";
  }
  EXPECT_EQ(brake.WaitFor("10.0.0.9", "bob", t0), 0ms);
  EXPECT_EQ(brake.WaitFor("10.0.0.1", "alice", t0 + 8000ms), 0ms) << "the wait ends";
  brake.Succeeded("10.0.0.1", "alice");
  brake.Failed("10.0.0.1", "alice", t0);
  EXPECT_EQ(brake.WaitFor("10.0.0.1", "alice", t0), 0ms) << "counting starts again";
}

TEST(LoginBrake, RemembersABoundedNumberOfClients) {
  LoginBrake brake({1, 1, 1000ms, 1000ms, 2, 10});
  const Clock::time_point t0{};
  for (int i = 0; i < 1000; ++i) brake.Failed("10.0.0." + std::to_string(i), "", t0);
  int held = 0;
  for (int i = 0; i < 1000; ++i) held += brake.WaitFor("10.0.0." + std::to_string(i), "", t0) > 0ms;
  EXPECT_LE(held, 10);
  EXPECT_GT(held, 0);
}

TEST(LoginBrake, NoMoreHashesRunThanItsSlots) {
  LoginBrake brake({3, 3, 1000ms, 1000ms, 2, 100});
  std::atomic<int> running{0};
  std::atomic<int> most{0};
  std::vector<std::thread> logins;
  for (int i = 0; i < 8; ++i) {
    logins.emplace_back([&] {
      LoginBrake::HashSlot slot(brake);
      const int now = ++running;
      int seen = most;
      while (now > seen && !most.compare_exchange_weak(seen, now)) {
      }
      std::this_thread::sleep_for(20ms);
      --running;
    });
  }
  for (auto& login : logins) login.join();
  EXPECT_EQ(most, 2);
}

}  // namespace
}  // namespace wharfling::server
