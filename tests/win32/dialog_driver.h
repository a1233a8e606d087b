#pragma once
// Drives the upload dialog from a second thread while the first one sits in Drop, as a user would:
// reads what it shows, types the account key by key (its state after each key), presses the destination
// button or its maker's label, answers message boxes and choosers, takes screenshots and closes it with
// Cancel or Enter. Everything it sees is printed.

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

namespace wharfling::probe {

struct DropScript {
  bool typeAccount = false;
  std::string idKeys;  // key scripts (keystrokes.h)
  std::string passwordKeys;
  bool press = false;
  bool enter = false;                 // Enter in the ID edit instead of Cancel at the end
  std::string labelOpens;             // exercise the maker's label; the file its click's program writes
  std::string siteChoice = "cancel";  // what is done in the site chooser (chooser_actions.h)
  std::string screenshot;             // PNG path; empty for none
  std::string chooserScreenshot;      // PNG of the site chooser
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
  std::atomic<int> messagesSeen_{0};
  std::thread watcher_;
  std::thread driver_;
};

}  // namespace wharfling::probe
