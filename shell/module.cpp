#include "shell/module.h"

#include <atomic>

namespace wharfling::shell {
namespace {

HINSTANCE moduleInstance = nullptr;
std::atomic<long> lockCount{0};

}  // namespace

void SetModuleInstance(HINSTANCE instance) { moduleInstance = instance; }
HINSTANCE ModuleInstance() { return moduleInstance; }

std::string ModulePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(moduleInstance, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

void LockModule() { ++lockCount; }
void UnlockModule() { --lockCount; }
long ModuleLockCount() { return lockCount.load(); }

}  // namespace wharfling::shell
