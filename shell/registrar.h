#pragma once
// Runs a parsed registry script: registration writes its keys and values, removal takes them away
// again as their marks say. The registry itself is reached through RegistryOps, so the walk is the
// same on Windows and in the tests that record it.

#include <cstdint>
#include <string>
#include <string_view>

#include "shell/registry_script.h"

namespace wharfling::shell {

// Result codes, with the values COM gives them.
inline constexpr std::int32_t kRegistrarOk = 0;
// What the registrar answers for a script it cannot read (DISP_E_EXCEPTION).
inline constexpr std::int32_t kRegistrarBadScript = static_cast<std::int32_t>(0x80020009u);

// A registry as the registrar uses it. Keys are named by their root and a path of "\"-separated
// names below it. Each operation returns a result code (0 for success).
class RegistryOps {
 public:
  virtual ~RegistryOps() = default;
  virtual bool IsKnownRoot(std::string_view root) const = 0;
  // Creates the key (and the keys above it) or opens it where it exists.
  virtual std::int32_t CreateKey(std::string_view root, const std::string& path) = 0;
  virtual std::int32_t SetValue(std::string_view root, const std::string& path, const std::string& name,
                                const ScriptValue& value) = 0;
  virtual bool KeyExists(std::string_view root, const std::string& path) = 0;
  // Removes the key with everything below it; a missing key is no error.
  virtual std::int32_t DeleteTree(std::string_view root, const std::string& path) = 0;
  // Removes the key if nothing but values is left in it; otherwise leaves it.
  virtual void DeleteKeyIfLeaf(std::string_view root, const std::string& path) = 0;
  virtual void DeleteValue(std::string_view root, const std::string& path, const std::string& name) = 0;
};

// Registration: each key is created (a "ForceRemove" key is deleted whole first, a "Delete" key is
// only deleted) and its values written, in script order. The first failure ends the run.
std::int32_t RegisterScript(const ParsedScript& script, RegistryOps& registry);

// Removal: keys marked "NoRemove" stay (their contents are still walked), "ForceRemove" keys go with
// everything below them, other keys lose the values the script names and go once they hold no more
// sub-keys. Missing keys are skipped.
std::int32_t UnregisterScript(const ParsedScript& script, RegistryOps& registry);

}  // namespace wharfling::shell
