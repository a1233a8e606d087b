#pragma once
// The object the shell drops files on: it collects the dropped paths when the data object is offered
// and runs the upload dialog over them on the drop. It can be the inner part of an aggregate, whose
// identity calls then go to the outer object.

#include <windows.h>
// after windows.h, which they need
#include <objidl.h>
#include <oleidl.h>

#include <string>
#include <vector>

namespace wharfling::shell {

class DropHandler final : public IPersistFile, public IDropTarget {
 public:
  // outer: the controlling object of an aggregate, or null.
  explicit DropHandler(IUnknown* outer);
  ~DropHandler();
  DropHandler(const DropHandler&) = delete;
  DropHandler& operator=(const DropHandler&) = delete;

  // The object's own identity: the one an aggregate holds, or the primary interface otherwise.
  IUnknown* InnerUnknown() { return &inner_; }
  const std::vector<std::string>& files() const { return files_; }

  // IUnknown, through the controlling object
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IPersistFile
  STDMETHODIMP GetClassID(CLSID* classId) override;
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(LPCOLESTR fileName, DWORD mode) override;
  STDMETHODIMP Save(LPCOLESTR fileName, BOOL remember) override;
  STDMETHODIMP SaveCompleted(LPCOLESTR fileName) override;
  STDMETHODIMP GetCurFile(LPOLESTR* fileName) override;

  // IDropTarget
  STDMETHODIMP DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
  STDMETHODIMP DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
  STDMETHODIMP DragLeave() override;
  STDMETHODIMP Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

 private:
  // The non-delegating identity: reference count and interface lookup of the object itself.
  class Inner final : public IUnknown {
   public:
    explicit Inner(DropHandler& owner) : owner_(owner) {}
    virtual ~Inner() = default;
    Inner(const Inner&) = delete;
    Inner& operator=(const Inner&) = delete;
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

   private:
    DropHandler& owner_;
  };

  void CollectFiles(IDataObject* data);

  Inner inner_;
  IUnknown* controlling_;
  bool aggregated_;
  ULONG references_ = 0;  // apartment-threaded: a plain counter
  std::vector<std::string> files_;
};

}  // namespace wharfling::shell
