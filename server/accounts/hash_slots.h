#pragma once
// Bounds how many password hashes run at once in this process, so that a flood of logins cannot
// take every processor. (The brake on guessing itself is kept with the server's state.)

#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace wharfling::server {

class HashSlots {
 public:
  explicit HashSlots(std::size_t count = 2) : count_(count) {}

  // Holds one of the slots for its life, waiting for one when all are taken.
  class Slot {
   public:
    explicit Slot(HashSlots& slots);
    ~Slot();
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;

   private:
    HashSlots& slots_;
  };

 private:
  const std::size_t count_;
  std::mutex mutex_;
  std::condition_variable freed_;
  std::size_t taken_ = 0;
};

}  // namespace wharfling::server
