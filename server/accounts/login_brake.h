#pragma once
// A brake on password guessing: after a few failed logins, an account and a client address each
// have to wait before the next attempt is even checked, the wait doubling with every further
// failure; a correct login clears both. It also bounds how many password hashes run at once, so
// that a flood of logins cannot take every processor.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace wharfling::server {

struct LoginBrakeLimits {
  // Failures that cost no wait: an address may be shared by several people, an account is one's.
  int accountFreeFailures = 5;
  int addressFreeFailures = 10;
  std::chrono::milliseconds firstWait{1000};
  std::chrono::milliseconds longestWait{60000};
  std::size_t concurrentHashes = 2;
  std::size_t maxTracked = 4096;  // addresses and accounts remembered, each
};

// The brake's counts of failed logins, wherever they are kept.
class BrakeCounters {
 public:
  using Clock = std::chrono::steady_clock;
  virtual ~BrakeCounters() = default;

  // How long the attempt must still wait: zero when it may be checked now. account is empty when
  // the name is no account's (it is not remembered then: names come from the client).
  virtual std::chrono::milliseconds WaitFor(std::string_view address, std::string_view account,
                                            Clock::time_point now) = 0;
  virtual void Failed(std::string_view address, std::string_view account, Clock::time_point now) = 0;
  virtual void Succeeded(std::string_view address, std::string_view account) = 0;
};

// The counts in memory, and the slots that bound the hashing under way in this process.
class LoginBrake final : public BrakeCounters {
 public:
  explicit LoginBrake(LoginBrakeLimits limits = {}) : limits_(limits) {}

  std::chrono::milliseconds WaitFor(std::string_view address, std::string_view account,
                                    Clock::time_point now) override;
  void Failed(std::string_view address, std::string_view account, Clock::time_point now) override;
  void Succeeded(std::string_view address, std::string_view account) override;

  // Holds one of the hashing slots for its life.
  class HashSlot {
   public:
    explicit HashSlot(LoginBrake& brake);
    ~HashSlot();
    HashSlot(const HashSlot&) = delete;
    HashSlot& operator=(const HashSlot&) = delete;

   private:
    LoginBrake& brake_;
  };

 private:
  struct Record {
    int failures = 0;
    Clock::time_point until{};
  };
  using Records = std::map<std::string, Record, std::less<>>;

  std::chrono::milliseconds Wait(const Records& records, std::string_view key, Clock::time_point now) const;
  void Fail(Records& records, std::string_view key, int freeFailures, Clock::time_point now);

  const LoginBrakeLimits limits_;
  std::mutex mutex_;
  Records byAddress_;
  Records byAccount_;
  std::condition_variable slotFreed_;
  std::size_t hashing_ = 0;
};

}  // namespace wharfling::server
