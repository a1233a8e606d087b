#pragma once
// The registrar's view of the Windows registry.

#include "shell/registrar.h"

namespace wharfling::shell {

class Win32RegistryOps final : public RegistryOps {
 public:
  bool IsKnownRoot(std::string_view root) const override;
  std::int32_t CreateKey(std::string_view root, const std::string& path) override;
  std::int32_t SetValue(std::string_view root, const std::string& path, const std::string& name,
                        const ScriptValue& value) override;
  bool KeyExists(std::string_view root, const std::string& path) override;
  std::int32_t DeleteTree(std::string_view root, const std::string& path) override;
  void DeleteKeyIfLeaf(std::string_view root, const std::string& path) override;
  void DeleteValue(std::string_view root, const std::string& path, const std::string& name) override;
};

}  // namespace wharfling::shell
