#include "shell/registrar.h"

namespace wharfling::shell {
namespace {

std::string Below(const std::string& parent, const std::string& name) {
  return parent.empty() ? name : parent + "\\" + name;
}

std::int32_t Register(std::string_view root, const std::string& parent, const ScriptKey& key,
                      RegistryOps& registry) {
  const std::string path = Below(parent, key.name);
  if (key.mark == ScriptKey::Mark::kDelete) return registry.DeleteTree(root, path);
  if (key.mark == ScriptKey::Mark::kForceRemove) {
    if (const std::int32_t result = registry.DeleteTree(root, path); result != kRegistrarOk) return result;
  }
  if (const std::int32_t result = registry.CreateKey(root, path); result != kRegistrarOk) return result;
  if (key.defaultValue) {
    if (const std::int32_t result = registry.SetValue(root, path, "", *key.defaultValue);
        result != kRegistrarOk)
      return result;
  }
  for (const auto& entry : key.entries) {
    std::int32_t result = kRegistrarOk;
    if (const auto* named = std::get_if<ScriptNamedValue>(&entry)) {
      result = registry.SetValue(root, path, named->name, named->value);
    } else {
      result = Register(root, path, std::get<ScriptKey>(entry), registry);
    }
    if (result != kRegistrarOk) return result;
  }
  return kRegistrarOk;
}

std::int32_t Unregister(std::string_view root, const std::string& parent, const ScriptKey& key,
                        RegistryOps& registry) {
  const std::string path = Below(parent, key.name);
  if (!registry.KeyExists(root, path)) return kRegistrarOk;
  if (key.mark == ScriptKey::Mark::kForceRemove) return registry.DeleteTree(root, path);
  for (const auto& entry : key.entries) {
    if (const auto* named = std::get_if<ScriptNamedValue>(&entry)) {
      if (key.mark != ScriptKey::Mark::kNoRemove) registry.DeleteValue(root, path, named->name);
    } else if (const std::int32_t result = Unregister(root, path, std::get<ScriptKey>(entry), registry);
               result != kRegistrarOk) {
      return result;
    }
  }
  if (key.mark == ScriptKey::Mark::kNone) registry.DeleteKeyIfLeaf(root, path);
  return kRegistrarOk;
}

template <typename Step>
std::int32_t Walk(const ParsedScript& script, RegistryOps& registry, Step step) {
  if (!script.error.empty()) return kRegistrarBadScript;
  for (const auto& root : script.roots) {
    if (!registry.IsKnownRoot(root.name)) return kRegistrarBadScript;
  }
  for (const auto& root : script.roots) {
    for (const auto& key : root.keys) {
      if (const std::int32_t result = step(root.name, std::string(), key, registry); result != kRegistrarOk)
        return result;
    }
  }
  return kRegistrarOk;
}

}  // namespace

std::int32_t RegisterScript(const ParsedScript& script, RegistryOps& registry) {
  return Walk(script, registry, Register);
}

std::int32_t UnregisterScript(const ParsedScript& script, RegistryOps& registry) {
  return Walk(script, registry, Unregister);
}

}  // namespace wharfling::shell
