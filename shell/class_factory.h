#pragma once
// The class factory of the drop handler and the module's table of creatable classes.

#include <windows.h>

namespace wharfling::shell {

class ClassFactory final : public IClassFactory {
 public:
  ClassFactory() = default;
  virtual ~ClassFactory() = default;
  ClassFactory(const ClassFactory&) = delete;
  ClassFactory& operator=(const ClassFactory&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  // The factory lives as long as the module: references do not decide its life.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  STDMETHODIMP LockServer(BOOL lock) override;
};

// One creatable class: its id, its registration, its factory (made on first use) and its creator.
struct ClassEntry {
  const CLSID* classId;
  HRESULT (*updateRegistry)(bool registering);
  IClassFactory* (*factory)();
  HRESULT (*createInstance)(IUnknown* outer, REFIID iid, void** object);
};

// The module's class table: the drop handler alone.
const ClassEntry& DropHandlerEntry();

}  // namespace wharfling::shell
