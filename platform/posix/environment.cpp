#include "platform/posix/environment.h"

#include <cstdlib>

namespace wharfling::posix {

std::optional<std::string> ProcessEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

}  // namespace wharfling::posix
