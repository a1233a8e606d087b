#pragma once
// Runs part of a test in a forked child, for changes that must not touch the test process itself
// (dropping privileges, resource limits).

#include <functional>

namespace wharfling::testing {

// The child's exit status (body's result, 0 to 255), or -1 when it did not exit normally.
int RunInChildProcess(const std::function<int()>& body);

}  // namespace wharfling::testing
