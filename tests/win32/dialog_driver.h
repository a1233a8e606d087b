#pragma once
// Drives the upload dialog from a second thread while the first one sits in Drop, as a user would:
// reads what it shows, types the account, presses the destination button, answers message boxes,
// takes a screenshot and closes it with Cancel. Everything it sees is printed.

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

namespace wharfling::probe {

struct DropScript {
  bool typeAccount = false;
  std::string id;
  std::string password;
  bool press = false;
  std::string screenshot;         // PNG path; empty for none
  std::string chooserScreenshot;  // PNG of the site chooser, which is then closed with キャンセル
};

class DialogDriver {
 public:
  DialogDriver(DWORD uiThread, DropScript script);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

 private:
  void Drive();
  void WatchMessageBoxes();

  DWORD uiThread_;
  DropScript script_;
  std::atomic<HWND> dialog_{nullptr};
  std::atomic<bool> stop_{false};
  std::thread watcher_;
  std::thread driver_;
};

}  // namespace wharfling::probe
