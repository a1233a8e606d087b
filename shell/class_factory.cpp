#include "shell/class_factory.h"

#include <mutex>
#include <new>

#include "shell/class_id.h"
#include "shell/drop_handler.h"
#include "shell/module.h"
#include "shell/registration.h"

namespace wharfling::shell {
namespace {

HRESULT CreateDropHandler(IUnknown* outer, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  // An aggregate may ask for nothing but the inner identity.
  if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  auto* handler = new (std::nothrow) DropHandler(outer);
  if (handler == nullptr) return E_OUTOFMEMORY;
  const HRESULT result = handler->InnerUnknown()->QueryInterface(iid, object);
  if (FAILED(result)) delete handler;
  return result;
}

IClassFactory* DropHandlerFactory() {
  static std::mutex creation;
  static ClassFactory* factory = nullptr;
  std::lock_guard lock(creation);
  if (factory == nullptr) factory = new (std::nothrow) ClassFactory();
  return factory;
}

}  // namespace

STDMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  return CreateDropHandler(outer, iid, object);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    LockModule();
  } else {
    UnlockModule();
  }
  return S_OK;
}

const ClassEntry& DropHandlerEntry() {
  static const ClassEntry entry{&kDropHandlerClassId, RunRegistryScript, DropHandlerFactory,
                                CreateDropHandler};
  return entry;
}

}  // namespace wharfling::shell
