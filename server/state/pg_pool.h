#pragma once
// A few PostgreSQL connections per server process, lent to one thread at a time; a borrower waits
// when all are lent, so their number bounds what one instance asks of the database. A connection
// that broke (the database restarted, a transaction was left open) is dropped when it comes back,
// and a fresh one is made on the next need.

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/state/pg_connection.h"

namespace wharfling::server::state {

class PgPool {
 public:
  PgPool(std::string conninfo, std::size_t size);

  class Lease {
   public:
    Lease(PgPool& pool, std::unique_ptr<PgConnection> connection)
        : pool_(pool), connection_(std::move(connection)) {}
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    PgConnection& operator*() { return *connection_; }
    PgConnection* operator->() { return connection_.get(); }

   private:
    PgPool& pool_;
    std::unique_ptr<PgConnection> connection_;
  };

  // Throws PgError when a new connection cannot be made.
  Lease Borrow();

 private:
  void GiveBack(std::unique_ptr<PgConnection> connection);

  const std::string conninfo_;
  const std::size_t size_;
  std::mutex mutex_;
  std::condition_variable returned_;
  std::vector<std::unique_ptr<PgConnection>> idle_;
  std::size_t lent_ = 0;
};

}  // namespace wharfling::server::state
