#pragma once
// The registrar's script format: root blocks ("HKCR { ... }") of keys, each with an optional default
// value, named values ("val Name = s 'text'") and sub-keys, marked "NoRemove" (never removed),
// "ForceRemove" (replaced whole on registration) or "Delete" (removed on registration). Parsing is
// kept apart from the registry so that it can be checked anywhere.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace wharfling::shell {

struct ScriptValue {
  enum class Type { kString, kDword };
  Type type = Type::kString;
  std::string text;         // kString, placeholders already replaced
  std::uint32_t dword = 0;  // kDword
};

struct ScriptNamedValue {
  std::string name;
  ScriptValue value;
};

struct ScriptKey {
  enum class Mark { kNone, kNoRemove, kForceRemove, kDelete };
  std::string name;
  Mark mark = Mark::kNone;
  std::optional<ScriptValue> defaultValue;
  // Named values and sub-keys, in script order.
  std::vector<std::variant<ScriptNamedValue, ScriptKey>> entries;
};

struct ScriptRoot {
  std::string name;  // as written: "HKCR", "HKEY_CLASSES_ROOT", "HKCU", ...
  std::vector<ScriptKey> keys;
};

struct ParsedScript {
  std::vector<ScriptRoot> roots;
  std::string error;  // empty when the script parsed
};

// Parses script, replacing each "%NAME%" by its value from replacements ("%%" is one "%"). An unknown
// placeholder, a missing brace or value, or an unknown value type is an error.
ParsedScript ParseRegistryScript(std::string_view script,
                                 const std::vector<std::pair<std::string, std::string>>& replacements);

}  // namespace wharfling::shell
