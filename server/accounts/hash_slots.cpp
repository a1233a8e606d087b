#include "server/accounts/hash_slots.h"

namespace wharfling::server {

HashSlots::Slot::Slot(HashSlots& slots) : slots_(slots) {
  std::unique_lock lock(slots_.mutex_);
  slots_.freed_.wait(lock, [this] { return slots_.taken_ < slots_.count_; });
  ++slots_.taken_;
}

HashSlots::Slot::~Slot() {
  {
    std::lock_guard lock(slots_.mutex_);
    --slots_.taken_;
  }
  slots_.freed_.notify_one();
}

}  // namespace wharfling::server
