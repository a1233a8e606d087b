#include "shell/drop_handler.h"

#include <shellapi.h>

#include "platform/win32/upload_dialog_window.h"
#include "shell/module.h"

namespace wharfling::shell {
namespace {

// Activates the module's own manifest (resource 2) for a scope, so that the dialog gets the
// version 6 common controls. Without it the dialog still runs, with the classic controls.
class ManifestScope {
 public:
  ManifestScope() {
    const std::string path = ModulePath();
    ACTCTXA context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
    context.lpSource = path.c_str();
    context.lpResourceName = MAKEINTRESOURCEA(2);
    context.hModule = ModuleInstance();
    handle_ = CreateActCtxA(&context);
    if (handle_ != INVALID_HANDLE_VALUE && !ActivateActCtx(handle_, &cookie_)) {
      ReleaseActCtx(handle_);
      handle_ = INVALID_HANDLE_VALUE;
    }
  }
  ~ManifestScope() {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    DeactivateActCtx(0, cookie_);
    ReleaseActCtx(handle_);
  }
  ManifestScope(const ManifestScope&) = delete;
  ManifestScope& operator=(const ManifestScope&) = delete;

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  ULONG_PTR cookie_ = 0;
};

}  // namespace

DropHandler::DropHandler(IUnknown* outer)
    : inner_(*this), controlling_(outer != nullptr ? outer : &inner_), aggregated_(outer != nullptr) {
  LockModule();
}

DropHandler::~DropHandler() { UnlockModule(); }

STDMETHODIMP DropHandler::Inner::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (IsEqualIID(iid, IID_IUnknown)) {
    // Inside an aggregate the inner identity must be this one; alone, the primary interface is it.
    *object = owner_.aggregated_ ? static_cast<IUnknown*>(this) : static_cast<IPersistFile*>(&owner_);
  } else if (IsEqualIID(iid, IID_IPersistFile)) {
    *object = static_cast<IPersistFile*>(&owner_);
  } else if (IsEqualIID(iid, IID_IDropTarget)) {
    *object = static_cast<IDropTarget*>(&owner_);
  } else {
    return E_NOINTERFACE;
  }
  static_cast<IUnknown*>(*object)->AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) DropHandler::Inner::AddRef() { return ++owner_.references_; }

STDMETHODIMP_(ULONG) DropHandler::Inner::Release() {
  const ULONG left = --owner_.references_;
  if (left == 0) delete &owner_;
  return left;
}

STDMETHODIMP DropHandler::QueryInterface(REFIID iid, void** object) {
  return controlling_->QueryInterface(iid, object);
}
STDMETHODIMP_(ULONG) DropHandler::AddRef() { return controlling_->AddRef(); }
STDMETHODIMP_(ULONG) DropHandler::Release() { return controlling_->Release(); }

STDMETHODIMP DropHandler::GetClassID(CLSID*) { return E_NOTIMPL; }
STDMETHODIMP DropHandler::IsDirty() { return E_NOTIMPL; }
STDMETHODIMP DropHandler::Load(LPCOLESTR, DWORD) { return S_OK; }
STDMETHODIMP DropHandler::Save(LPCOLESTR, BOOL) { return E_NOTIMPL; }
STDMETHODIMP DropHandler::SaveCompleted(LPCOLESTR) { return E_NOTIMPL; }
STDMETHODIMP DropHandler::GetCurFile(LPOLESTR*) { return E_NOTIMPL; }

void DropHandler::CollectFiles(IDataObject* data) {
  if (data == nullptr) return;
  FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  if (FAILED(data->GetData(&format, &medium))) return;
  if (medium.tymed == TYMED_HGLOBAL) {
    if (auto drop = static_cast<HDROP>(GlobalLock(medium.hGlobal))) {
      const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
      for (UINT index = 0; index < count; ++index) {
        char path[MAX_PATH] = {};
        const UINT length = DragQueryFileA(drop, index, path, MAX_PATH);
        if (length != 0) files_.emplace_back(path, length);
      }
      GlobalUnlock(medium.hGlobal);
    }
  }
  ReleaseStgMedium(&medium);
}

STDMETHODIMP DropHandler::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  CollectFiles(data);
  const bool accepted = !files_.empty();
  if (effect != nullptr) *effect = accepted ? DROPEFFECT_COPY : DROPEFFECT_NONE;
  return accepted ? S_OK : E_INVALIDARG;
}

STDMETHODIMP DropHandler::DragOver(DWORD, POINTL, DWORD*) { return E_NOTIMPL; }

STDMETHODIMP DropHandler::DragLeave() { return S_OK; }

STDMETHODIMP DropHandler::Drop(IDataObject*, DWORD, POINTL, DWORD* effect) {
  {
    ManifestScope manifest;
    win32::RunUploadDialog(ModuleInstance(), files_);
  }
  if (effect != nullptr) *effect = DROPEFFECT_COPY;
  return S_OK;
}

}  // namespace wharfling::shell
