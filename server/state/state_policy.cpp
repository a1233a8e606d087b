#include "server/state/state_policy.h"

#include <algorithm>

namespace wharfling::server::state {

std::int64_t BrakeUntilMs(int failures, int freeFailures, const BrakePolicy& policy, std::int64_t nowMs) {
  const int over = failures - freeFailures + 1;
  if (over <= 0) return 0;
  auto wait = policy.firstWait;
  for (int i = 1; i < over && wait < policy.longestWait; ++i) wait *= 2;
  return nowMs + std::min(wait, policy.longestWait).count();
}

}  // namespace wharfling::server::state
