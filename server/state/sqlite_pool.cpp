#include "server/state/sqlite_pool.h"

#include <algorithm>

namespace wharfling::server::state {

SqlitePool::SqlitePool(std::filesystem::path file, std::size_t size, std::chrono::milliseconds busyTimeout)
    : file_(std::move(file)), size_(std::max<std::size_t>(size, 1)), busyTimeout_(busyTimeout) {}

SqlitePool::Lease SqlitePool::Borrow() {
  std::unique_lock lock(mutex_);
  returned_.wait(lock, [this] { return !idle_.empty() || opened_ < size_; });
  if (!idle_.empty()) {
    auto connection = std::move(idle_.back());
    idle_.pop_back();
    return Lease(*this, std::move(connection));
  }
  ++opened_;
  lock.unlock();
  try {
    return Lease(*this, std::make_unique<SqliteConnection>(file_, busyTimeout_));
  } catch (...) {
    lock.lock();
    --opened_;
    returned_.notify_one();
    throw;
  }
}

SqlitePool::Lease::~Lease() {
  if (!connection_) return;
  {
    std::lock_guard lock(pool_.mutex_);
    pool_.idle_.push_back(std::move(connection_));
  }
  pool_.returned_.notify_one();
}

}  // namespace wharfling::server::state
