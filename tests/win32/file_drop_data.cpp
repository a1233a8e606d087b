#include "tests/win32/file_drop_data.h"

#include <shlobj.h>

#include <cstring>

namespace wharfling::probe {

FileDropData::FileDropData(std::vector<std::string> paths, bool offerFiles)
    : paths_(std::move(paths)), offerFiles_(offerFiles) {}

STDMETHODIMP FileDropData::QueryInterface(REFIID iid, void** object) {
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
    *object = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) FileDropData::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP FileDropData::QueryGetData(FORMATETC* format) {
  return offerFiles_ && format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK
                                                                                        : DV_E_FORMATETC;
}

STDMETHODIMP FileDropData::GetData(FORMATETC* format, STGMEDIUM* medium) {
  if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
  std::size_t size = sizeof(DROPFILES) + 1;
  for (const auto& path : paths_) size += path.size() + 1;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = FALSE;
  char* next = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
  for (const auto& path : paths_) {
    std::memcpy(next, path.c_str(), path.size() + 1);
    next += path.size() + 1;
  }
  GlobalUnlock(memory);
  medium->tymed = TYMED_HGLOBAL;
  medium->hGlobal = memory;
  medium->pUnkForRelease = nullptr;
  return S_OK;
}

}  // namespace wharfling::probe
