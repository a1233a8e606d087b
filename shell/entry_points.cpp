// The module's exports: the four entry points of an in-process COM server.

#include <windows.h>

#include "shell/class_factory.h"
#include "shell/module.h"
#include "shell/registration.h"

using namespace wharfling::shell;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    SetModuleInstance(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  const ClassEntry& entry = DropHandlerEntry();
  if (!IsEqualCLSID(classId, *entry.classId)) return CLASS_E_CLASSNOTAVAILABLE;
  IClassFactory* factory = entry.factory();
  if (factory == nullptr) return E_OUTOFMEMORY;
  return factory->QueryInterface(iid, object);
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return ModuleLockCount() == 0 ? S_OK : S_FALSE; }

extern "C" HRESULT __stdcall DllRegisterServer() { return RegisterModule(); }

extern "C" HRESULT __stdcall DllUnregisterServer() { return UnregisterModule(); }
