#pragma once
// How every command prints JSON: one object, pretty-printed with two-space indents, with a
// "version" field that changes when a field changes meaning or goes away (docs/cli-json.md).

#include <nlohmann/json.hpp>

namespace wharfling::cli {

inline constexpr int kJsonVersion = 1;

// Adds "version" and prints the object on stdout; a text that is not UTF-8 is shown with U+FFFD.
void PrintJson(nlohmann::json object);

}  // namespace wharfling::cli
