// The program the Wine tests run: each command exercises one part of the module as Windows would
// and prints what happened as key=value lines for the test on the host to check.
//
//   wine_probe register|unregister DLL         DllRegisterServer / DllUnregisterServer
//   wine_probe classobject DLL                 DllGetClassObject for an unknown and the known class
//   wine_probe lifetime DLL                    DllCanUnloadNow around objects and locks, aggregation
//   wine_probe dragenter PATH...               the drop handler, created through COM, offered files
//   wine_probe drop [OPTION...] -- PATH...     a whole drop: settings, dialog, account, run, close
//   wine_probe albums DLL ACTION [--screenshot PATH] [TEXT...]   the album chooser, worked as a user
//   wine_probe record FILE [WORD...]           writes its words to FILE (a stand-in browser)
//   wine_probe exchange (GET URL | POST URL BODY)...   page requests through WinINet
//   wine_probe regdump ROOT\\PATH...           registry keys with everything below them

#include <windows.h>
// after windows.h, which they need
#include <objbase.h>
#include <oleidl.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/choosers.h"
#include "platform/win32/registry_settings_store.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/wininet_transport.h"
#include "shell/class_id.h"
#include "tests/win32/chooser_actions.h"
#include "tests/win32/dialog_driver.h"
#include "tests/win32/file_drop_data.h"
#include "tests/win32/label_actions.h"
#include "tests/win32/layout_check.h"
#include "tests/win32/probe_output.h"
#include "tests/win32/screenshot.h"
#include "web/web_client.h"

namespace wharfling::probe {
namespace {

using shell::kDropHandlerClassId;

template <typename Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

HMODULE LoadModule(const std::string& path) {
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) Print("error", "cannot load " + path);
  return module;
}

int Registration(const std::string& dll, bool registering) {
  HMODULE module = LoadModule(dll);
  if (module == nullptr) return 2;
  const auto entry =
      Export<HRESULT(__stdcall*)()>(module, registering ? "DllRegisterServer" : "DllUnregisterServer");
  PrintResult("hr", entry());
  return 0;
}

int ClassObject(const std::string& dll) {
  HMODULE module = LoadModule(dll);
  if (module == nullptr) return 2;
  const auto getClassObject =
      Export<HRESULT(__stdcall*)(REFCLSID, REFIID, void**)>(module, "DllGetClassObject");
  const CLSID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  void* object = reinterpret_cast<void*>(1);
  PrintResult("unknown.hr", getClassObject(unknown, IID_IClassFactory, &object));
  Print("unknown.out", object == nullptr ? "null" : "set");
  object = nullptr;
  PrintResult("known.hr", getClassObject(kDropHandlerClassId, IID_IClassFactory, &object));
  Print("known.out", object == nullptr ? "null" : "set");
  PrintResult("null.hr", getClassObject(kDropHandlerClassId, IID_IClassFactory, nullptr));
  return 0;
}

// An outer object that counts the identity calls the inner one hands to it.
struct Outer final : IUnknown {
  virtual ~Outer() = default;
  STDMETHODIMP QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++addRefs; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  ULONG addRefs = 0;
};

int Lifetime(const std::string& dll) {
  HMODULE module = LoadModule(dll);
  if (module == nullptr) return 2;
  const auto getClassObject =
      Export<HRESULT(__stdcall*)(REFCLSID, REFIID, void**)>(module, "DllGetClassObject");
  const auto canUnload = Export<HRESULT(__stdcall*)()>(module, "DllCanUnloadNow");
  IClassFactory* factory = nullptr;
  getClassObject(kDropHandlerClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  PrintResult("idle", canUnload());
  IDropTarget* target = nullptr;
  PrintResult("create.hr",
              factory->CreateInstance(nullptr, IID_IDropTarget, reinterpret_cast<void**>(&target)));
  PrintResult("alive", canUnload());
  IUnknown* other = nullptr;
  PrintResult("missing.hr", target->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(&other)));
  target->Release();
  PrintResult("released", canUnload());
  factory->LockServer(TRUE);
  PrintResult("locked", canUnload());
  factory->LockServer(FALSE);
  PrintResult("unlocked", canUnload());

  Outer outer;
  IUnknown* inner = nullptr;
  PrintResult("aggregate.wrong.hr",
              factory->CreateInstance(&outer, IID_IDropTarget, reinterpret_cast<void**>(&inner)));
  PrintResult("aggregate.hr",
              factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)));
  inner->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&target));
  const ULONG before = outer.addRefs;
  target->AddRef();
  Print("aggregate.delegates", outer.addRefs == before + 1 ? "yes" : "no");
  inner->Release();
  PrintResult("aggregate.released", canUnload());
  return 0;
}

IDropTarget* CreateDropTarget() {
  IPersistFile* file = nullptr;
  const HRESULT created = CoCreateInstance(kDropHandlerClassId, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IPersistFile, reinterpret_cast<void**>(&file));
  PrintResult("create.hr", created);
  if (FAILED(created)) return nullptr;
  PrintResult("load.hr", file->Load(L"C:\\users\\upload Parvault.Wharfling", STGM_READ));
  CLSID classId{};
  PrintResult("getclassid.hr", file->GetClassID(&classId));
  IDropTarget* target = nullptr;
  file->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&target));
  file->Release();
  return target;
}

void Enter(IDropTarget* target, const char* key, const std::vector<std::string>& paths, bool offerFiles) {
  auto* data = new FileDropData(paths, offerFiles);
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
  PrintResult(std::string(key) + ".hr", target->DragEnter(data, MK_LBUTTON, {0, 0}, &effect));
  Print(std::string(key) + ".effect", std::to_string(effect));
  data->Release();
}

int DragEnter(const std::vector<std::string>& paths) {
  IDropTarget* empty = CreateDropTarget();
  if (empty == nullptr) return 2;
  Enter(empty, "nothing", {}, false);
  Enter(empty, "nofiles", {}, true);
  empty->Release();

  IDropTarget* target = CreateDropTarget();
  Enter(target, "files", paths, true);
  DWORD effect = 7;
  PrintResult("dragover.hr", target->DragOver(0, {0, 0}, &effect));
  Print("dragover.effect", std::to_string(effect));
  PrintResult("dragleave.hr", target->DragLeave());
  Enter(target, "nothing.after", {}, false);
  target->Release();
  return 0;
}

// drop options: --setting Section/Name=text or Section/Name=#number, --id KEYS, --password KEYS
// (typed key by key, keystrokes.h), --press, --enter, --label OPENED-FILE, --site-choice ACTION,
// --screenshot PATH, --chooser-screenshot PATH; then "--" and the dropped paths.
// texts: the same arguments in UTF-8, for what is typed (the ANSI ones lose what the code page lacks).
int Drop(const std::vector<std::string>& args, const std::vector<std::string>& texts) {
  win32::RegistrySettingsStore store("wharfling");
  DropScript script;
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    const bool hasValue = i + 1 < args.size();
    if (word == "--") {
      paths.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      break;
    }
    if (word == "--setting" && hasValue) {
      const std::string& setting = args[++i];
      const auto slash = setting.find('/');
      const auto equals = setting.find('=');
      const std::string section = setting.substr(0, slash);
      const std::string name = setting.substr(slash + 1, equals - slash - 1);
      const std::string value = setting.substr(equals + 1);
      if (!value.empty() && value[0] == '#') {
        store.WriteInt(section, name, std::stoi(value.substr(1)));
      } else {
        store.WriteText(section, name, value);
      }
    } else if (word == "--id" && hasValue) {
      script.typeAccount = true;
      script.idKeys = texts[++i];
    } else if (word == "--password" && hasValue) {
      script.typeAccount = true;
      script.passwordKeys = texts[++i];
    } else if (word == "--press") {
      script.press = true;
    } else if (word == "--enter") {
      script.enter = true;
    } else if (word == "--label" && hasValue) {
      script.labelOpens = args[++i];
    } else if (word == "--site-choice" && hasValue) {
      script.siteChoice = args[++i];
    } else if (word == "--screenshot" && hasValue) {
      script.screenshot = args[++i];
    } else if (word == "--chooser-screenshot" && hasValue) {
      script.chooserScreenshot = args[++i];
    }
  }
  IDropTarget* target = CreateDropTarget();
  if (target == nullptr) return 2;
  Enter(target, "files", paths, true);
  DWORD effect = DROPEFFECT_NONE;
  HRESULT dropped = E_FAIL;
  {
    DialogDriver driver(GetCurrentThreadId(), script);
    auto* data = new FileDropData(paths, true);
    dropped = target->Drop(data, 0, {0, 0}, &effect);
    data->Release();
  }
  PrintResult("drop.hr", dropped);
  Print("drop.effect", std::to_string(effect));
  target->Release();
  return 0;
}

HWND FindChooser(DWORD thread, int listId) {
  struct Search {
    int listId;
    HWND found;
  } search{listId, nullptr};
  EnumThreadWindows(
      thread,
      [](HWND window, LPARAM data) -> BOOL {
        auto& wanted = *reinterpret_cast<Search*>(data);
        if (IsWindowVisible(window) && GetDlgItem(window, wanted.listId) != nullptr) wanted.found = window;
        return wanted.found == nullptr;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The album chooser as a driver runs it, with texts given in UTF-8; prints the outcome.
int Albums(const std::string& dll, const std::string& action, const std::string& screenshot,
           const std::vector<std::string>& texts) {
  constexpr int kAlbumList = 210;
  HMODULE module = LoadModule(dll);
  if (module == nullptr) return 2;
  std::vector<Text> albums;
  for (const auto& text : texts) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(
        CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), static_cast<int>(wide.size()))));
    albums.push_back(win32::WideToCp932(wide));
  }
  const DWORD thread = GetCurrentThreadId();
  std::thread user([&] {
    for (int waited = 0; waited < 20000; waited += 50) {
      if (HWND chooser = FindChooser(thread, kAlbumList)) {
        HWND list = GetDlgItem(chooser, kAlbumList);
        const auto rows = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
        for (int row = 0; row < rows; ++row) {
          std::wstring text(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, row, 0)) + 1, L'\0');
          text.resize(static_cast<std::size_t>(
              SendMessageW(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data()))));
          Print("albums.row", Utf8(text));
        }
        PrintLayoutFaults(chooser, "albums.");
        if (!screenshot.empty()) TakeScreenshot(chooser, screenshot);
        ActInChooser(chooser, list, action);
        return;
      }
      Sleep(50);
    }
    Print("error", "no album chooser");
  });
  const ChooserOutcome outcome = win32::RunAlbumChooserDialog(module, albums);
  user.join();
  Print("albums.doubleclicked", outcome.doubleClicked ? "yes" : "no");
  Print("albums.selection", std::to_string(outcome.selection));
  return 0;
}

// Prints "path|name|type|data" for every value below the key, keys in registry order; "key=path" for
// each key, so that empty keys show too.
void DumpKey(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  Print("key", Utf8(path));
  for (DWORD index = 0;; ++index) {
    wchar_t name[256] = {};
    BYTE data[2048] = {};
    DWORD nameLength = 256;
    DWORD size = sizeof data - 2;
    DWORD type = 0;
    if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    std::string text;
    if (type == REG_SZ) {
      text = "REG_SZ|" + Utf8(reinterpret_cast<const wchar_t*>(data));
    } else if (type == REG_DWORD) {
      text = "REG_DWORD|" + std::to_string(*reinterpret_cast<const DWORD*>(data));
    } else {
      text = "type" + std::to_string(type) + "|";
    }
    Print("value", Utf8(path) + "|" + Utf8(name) + "|" + text);
  }
  std::vector<std::wstring> children;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256] = {};
    DWORD nameLength = 256;
    if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    children.emplace_back(name);
  }
  RegCloseKey(key);
  for (const auto& child : children) DumpKey(root, path + L"\\" + child);
}

int RegDump(const std::string& where) {
  const auto slash = where.find('\\');
  const std::string root = where.substr(0, slash);
  const HKEY rootKey = root == "HKCR"   ? HKEY_CLASSES_ROOT
                       : root == "HKCU" ? HKEY_CURRENT_USER
                                        : HKEY_LOCAL_MACHINE;
  const std::string path = slash == std::string::npos ? "" : where.substr(slash + 1);
  DumpKey(rootKey, std::wstring(path.begin(), path.end()));
  return 0;
}

int Exchange(const std::vector<std::string>& args) {
  win32::WinInetTransport transport;
  IdentityTextCodec codec;
  WebClient web(transport, codec);
  for (std::size_t i = 0; i + 1 < args.size();) {
    const bool post = args[i] == "POST";
    const std::string url = args[i + 1];
    const std::string body = post && i + 2 < args.size() ? args[i + 2] : "";
    i += post ? 3 : 2;
    const std::uint32_t flags = kFlagNoAutoRedirect | (url.starts_with("https:") ? kFlagSecure : 0);
    const bool ok = web.HttpExchange(Msie6Profile(), url, post ? Method::kPost : Method::kGet, flags, body,
                                     std::nullopt, AccessMode::kDirect);
    Print("ok", ok ? "1" : "0");
    PrintHex("headers", web.HeaderText());
    PrintHex("body", web.PageText());
  }
  return 0;
}

}  // namespace
}  // namespace wharfling::probe

int main(int argc, char** argv) {
  using namespace wharfling::probe;
  if (argc < 2) {
    std::fprintf(stderr, "usage: wine_probe COMMAND ...\n");
    return 64;
  }
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  std::vector<std::string> texts;
  int wideCount = 0;
  if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &wideCount)) {
    for (int i = 2; i < wideCount; ++i) texts.push_back(Utf8(wide[i]));
    LocalFree(wide);
  }
  if (texts.size() != args.size()) texts = args;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int status = 64;
  if ((command == "register" || command == "unregister") && args.size() == 1) {
    status = Registration(args[0], command == "register");
  } else if (command == "classobject" && args.size() == 1) {
    status = ClassObject(args[0]);
  } else if (command == "lifetime" && args.size() == 1) {
    status = Lifetime(args[0]);
  } else if (command == "dragenter") {
    status = DragEnter(args);
  } else if (command == "drop") {
    status = Drop(args, texts);
  } else if (command == "albums" && args.size() >= 2) {
    const bool photographed = args.size() >= 4 && args[2] == "--screenshot";
    status = Albums(args[0], args[1], photographed ? args[3] : "",
                    {texts.begin() + (photographed ? 4 : 2), texts.end()});
  } else if (command == "record" && !args.empty()) {
    std::string words;
    for (std::size_t i = 1; i < args.size(); ++i) words += (i > 1 ? "|" : "") + args[i];
    status = Record(args[0], words);
  } else if (command == "regdump") {
    for (const auto& key : args) status = RegDump(key);
  } else if (command == "exchange") {
    status = Exchange(args);
  } else {
    std::fprintf(stderr, "wine_probe: unknown command %s\n", command.c_str());
  }
  CoUninitialize();
  return status;
}
