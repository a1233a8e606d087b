#include "server/accounts/login_brake.h"

#include <algorithm>

namespace wharfling::server {

std::chrono::milliseconds LoginBrake::Wait(const Records& records, std::string_view key,
                                           Clock::time_point now) const {
  const auto found = records.find(key);
  if (found == records.end() || found->second.until <= now) return std::chrono::milliseconds(0);
  return std::chrono::ceil<std::chrono::milliseconds>(found->second.until - now);
}

void LoginBrake::Fail(Records& records, std::string_view key, int freeFailures, Clock::time_point now) {
  if (records.size() >= limits_.maxTracked && !records.contains(key)) {
    // Full: forget whoever no longer has to wait; failing that, everyone (the brake loosens, the
    // memory does not grow).
    std::erase_if(records, [now](const auto& entry) { return entry.second.until <= now; });
    if (records.size() >= limits_.maxTracked) records.clear();
  }
  Record& record = records[std::string(key)];
  ++record.failures;
  // The failure that uses up the free ones already makes the next attempt wait.
  const int over = record.failures - freeFailures + 1;
  if (over <= 0) return;
  auto wait = limits_.firstWait;
  for (int i = 1; i < over && wait < limits_.longestWait; ++i) wait *= 2;
  record.until = now + std::min(wait, limits_.longestWait);
}

std::chrono::milliseconds LoginBrake::WaitFor(std::string_view address, std::string_view account,
                                              Clock::time_point now) {
  std::lock_guard lock(mutex_);
  auto wait = Wait(byAddress_, address, now);
  if (!account.empty()) wait = std::max(wait, Wait(byAccount_, account, now));
  return wait;
}

void LoginBrake::Failed(std::string_view address, std::string_view account, Clock::time_point now) {
  std::lock_guard lock(mutex_);
  Fail(byAddress_, address, limits_.addressFreeFailures, now);
  if (!account.empty()) Fail(byAccount_, account, limits_.accountFreeFailures, now);
}

void LoginBrake::Succeeded(std::string_view address, std::string_view account) {
  std::lock_guard lock(mutex_);
  if (const auto found = byAddress_.find(address); found != byAddress_.end()) byAddress_.erase(found);
  if (const auto found = byAccount_.find(account); found != byAccount_.end()) byAccount_.erase(found);
}

LoginBrake::HashSlot::HashSlot(LoginBrake& brake) : brake_(brake) {
  std::unique_lock lock(brake_.mutex_);
  brake_.slotFreed_.wait(lock, [this] { return brake_.hashing_ < brake_.limits_.concurrentHashes; });
  ++brake_.hashing_;
}

LoginBrake::HashSlot::~HashSlot() {
  {
    std::lock_guard lock(brake_.mutex_);
    --brake_.hashing_;
  }
  brake_.slotFreed_.notify_one();
}

}  // namespace wharfling::server
