#pragma once
// Readable names for the cases of a parameterised suite, so that test lists show words, not bytes.

#include <cctype>
#include <string>
#include <string_view>

namespace wharfling::testing {

// The text's letters and digits, each other run of characters one '_'.
inline std::string TestName(std::string_view text) {
  std::string name;
  for (const char c : text) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      name += c;
    } else if (!name.empty() && name.back() != '_') {
      name += '_';
    }
  }
  while (!name.empty() && name.back() == '_') name.pop_back();
  return name.empty() ? "empty" : name;
}

}  // namespace wharfling::testing
