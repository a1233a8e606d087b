#pragma once
// Environment variables, read through a function so that tests can hand in their own.

#include <functional>
#include <optional>
#include <string>

namespace wharfling::posix {

// Looks up one environment variable; nothing when it is unset.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// The process environment.
std::optional<std::string> ProcessEnvironment(const char* name);

}  // namespace wharfling::posix
