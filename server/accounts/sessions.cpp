#include "server/accounts/sessions.h"

#include <algorithm>

#include "server/base/secure_random.h"

namespace wharfling::server {

SessionTable::SessionTable(Clock::duration idleLimit, std::size_t capacity,
                           std::function<Clock::time_point()> now)
    : idleLimit_(idleLimit), capacity_(std::max<std::size_t>(capacity, 1)), now_(std::move(now)) {}

std::string SessionTable::Open(std::string accountName) {
  std::string token = RandomHex(32);
  const auto now = now_();
  std::lock_guard lock(mutex_);
  DropExpired(now);
  if (entries_.size() >= capacity_) {
    const auto oldest = std::min_element(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) {
      return a.second.lastUse < b.second.lastUse;
    });
    entries_.erase(oldest);
  }
  entries_[token] = Entry{std::move(accountName), now};
  return token;
}

std::optional<std::string> SessionTable::Find(std::string_view token) {
  const auto now = now_();
  std::lock_guard lock(mutex_);
  const auto found = entries_.find(std::string(token));
  if (found == entries_.end()) return std::nullopt;
  if (now - found->second.lastUse > idleLimit_) {
    entries_.erase(found);
    return std::nullopt;
  }
  found->second.lastUse = now;
  return found->second.accountName;
}

void SessionTable::Close(std::string_view token) {
  std::lock_guard lock(mutex_);
  entries_.erase(std::string(token));
}

std::size_t SessionTable::size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

void SessionTable::DropExpired(Clock::time_point now) {
  std::erase_if(entries_, [&](const auto& entry) { return now - entry.second.lastUse > idleLimit_; });
}

}  // namespace wharfling::server
