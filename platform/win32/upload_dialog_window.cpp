#include "platform/win32/upload_dialog_window.h"

#include <commctrl.h>
#include <shlobj.h>

#include <memory>

#include "platform/win32/registry_endpoints.h"
#include "platform/win32/registry_settings_store.h"
#include "platform/win32/resource_ids.h"
#include "platform/win32/win32_dialog_view.h"
#include "platform/win32/wininet_transport.h"
#include "ui/controls.h"
#include "ui/upload_dialog.h"

namespace wharfling::win32 {
namespace {

// Everything one run of the dialog owns.
struct DialogRun {
  DialogRun(HINSTANCE owner, const std::vector<std::string>& paths, const std::string& name)
      : module(owner), droppedPaths(paths), appName(name), store(name) {}

  HINSTANCE module;
  const std::vector<std::string>& droppedPaths;
  std::string appName;
  RegistrySettingsStore store;
  EndpointTable endpoints = EndpointTable::Defaults();
  IdentityTextCodec codec;
  WinInetTransport transport;
  WebClient web{transport, codec};
  std::unique_ptr<Win32DialogView> view;
  std::unique_ptr<UploadDialog> dialog;
};

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM start) {
  if (message == BFFM_INITIALIZED) SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, start);
  return 0;
}

// The folder browser: starts at the folder in edit 202 and puts the chosen folder's path there.
void BrowseTargetFolder(HWND dialog) {
  char start[MAX_PATH] = {};
  GetDlgItemTextA(dialog, control::kTargetDir, start, MAX_PATH);
  BROWSEINFOA info{};
  info.lpszTitle = "Select the target directory";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_EDITBOX;
  info.lpfn = BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(start);
  LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
  if (chosen == nullptr) return;
  char path[MAX_PATH] = {};
  if (SHGetPathFromIDListA(chosen, path)) SetDlgItemTextA(dialog, control::kTargetDir, path);
  CoTaskMemFree(chosen);
}

INT_PTR OnCommand(HWND window, DialogRun& run, int id, int code) {
  UploadDialog& dialog = *run.dialog;
  switch (id) {
    case IDOK:
      if (dialog.OnOk()) EndDialog(window, IDOK);
      return TRUE;
    case IDCANCEL:
      EndDialog(window, IDCANCEL);
      return TRUE;
    case control::kDestination:
      if (code == BN_CLICKED) dialog.StartUpload();
      return TRUE;
    case control::kBrowse:
      if (code == BN_CLICKED) BrowseTargetFolder(window);
      return TRUE;
    case control::kId:
    case control::kPassword:
      if (code == EN_UPDATE) dialog.OnAccountEdited();
      return TRUE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* run = reinterpret_cast<DialogRun*>(GetWindowLongPtrW(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      run = reinterpret_cast<DialogRun*>(lParam);
      SetWindowLongPtrW(window, DWLP_USER, lParam);
      run->view = std::make_unique<Win32DialogView>(run->module, window, run->appName);
      run->dialog = std::make_unique<UploadDialog>(
          run->droppedPaths, *run->view, DialogServices{run->store, run->endpoints, run->codec, run->web});
      run->dialog->Initialize();
      return TRUE;
    }
    case WM_COMMAND:
      if (run == nullptr || run->dialog == nullptr) return FALSE;
      if (LOWORD(wParam) == control::kMakerLabel) return run->view->OnLabelCommand(HIWORD(wParam));
      return OnCommand(window, *run, LOWORD(wParam), HIWORD(wParam));
    case WM_CTLCOLORSTATIC:
      if (run != nullptr && run->view != nullptr) {
        if (const auto brush =
                run->view->OnLabelColour(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)))
          return reinterpret_cast<INT_PTR>(brush);
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void RunUploadDialog(HINSTANCE module, const std::vector<std::string>& droppedPaths) {
  INITCOMMONCONTROLSEX controls{sizeof controls,
                                ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  char path[MAX_PATH] = {};
  GetModuleFileNameA(module, path, MAX_PATH);
  const std::string appName = ProfileNameOf(path);
  DialogRun run(module, droppedPaths, appName);
  LoadRegistryEndpoints(appName, run.endpoints);
  DialogBoxParamW(module, MAKEINTRESOURCEW(WHARFLING_IDD_UPLOAD), nullptr, DialogProc,
                  reinterpret_cast<LPARAM>(&run));
}

}  // namespace wharfling::win32
