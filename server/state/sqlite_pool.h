#pragma once
// A few connections to one database, lent to one thread at a time: SQLite connections are not to be
// shared between threads at once, and a connection per request would reopen the file each time.
// A borrower waits when all are lent, so their number bounds the memory they take.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "server/state/sqlite_db.h"

namespace wharfling::server::state {

class SqlitePool {
 public:
  SqlitePool(std::filesystem::path file, std::size_t size, std::chrono::milliseconds busyTimeout);

  class Lease {
   public:
    Lease(SqlitePool& pool, std::unique_ptr<SqliteConnection> connection)
        : pool_(pool), connection_(std::move(connection)) {}
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    SqliteConnection& operator*() { return *connection_; }
    SqliteConnection* operator->() { return connection_.get(); }

   private:
    SqlitePool& pool_;
    std::unique_ptr<SqliteConnection> connection_;
  };

  // A connection, opened on first need; throws SqliteError when it cannot be opened.
  Lease Borrow();

 private:
  const std::filesystem::path file_;
  const std::size_t size_;
  const std::chrono::milliseconds busyTimeout_;
  std::mutex mutex_;
  std::condition_variable returned_;
  std::vector<std::unique_ptr<SqliteConnection>> idle_;
  std::size_t opened_ = 0;
};

}  // namespace wharfling::server::state
