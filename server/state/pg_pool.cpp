#include "server/state/pg_pool.h"

#include <algorithm>

namespace wharfling::server::state {

PgPool::PgPool(std::string conninfo, std::size_t size)
    : conninfo_(std::move(conninfo)), size_(std::max<std::size_t>(size, 1)) {}

PgPool::Lease::~Lease() { pool_.GiveBack(std::move(connection_)); }

PgPool::Lease PgPool::Borrow() {
  {
    std::unique_lock lock(mutex_);
    returned_.wait(lock, [&] { return !idle_.empty() || lent_ + idle_.size() < size_; });
    ++lent_;
    if (!idle_.empty()) {
      auto connection = std::move(idle_.back());
      idle_.pop_back();
      return Lease(*this, std::move(connection));
    }
  }
  // Connecting takes a round trip or more: not under the pool's lock.
  try {
    return Lease(*this, std::make_unique<PgConnection>(conninfo_));
  } catch (...) {
    GiveBack(nullptr);
    throw;
  }
}

void PgPool::GiveBack(std::unique_ptr<PgConnection> connection) {
  const bool keep = connection && connection->Reusable();
  {
    std::lock_guard lock(mutex_);
    --lent_;
    if (keep) idle_.push_back(std::move(connection));
  }
  connection.reset();
  returned_.notify_one();
}

}  // namespace wharfling::server::state
