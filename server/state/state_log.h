#pragma once
// Where a state's failures go when it was given no log of its own.

#include <cstdio>
#include <string>

namespace wharfling::server::state {

inline void LogToStandardError(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

}  // namespace wharfling::server::state
