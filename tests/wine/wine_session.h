#pragma once
// One Wine session for the whole test program: a fresh prefix (booted once), a persistent
// wineserver, a headless X server for the windows, and the cross-built module and probe. Tests run
// the probe and Windows' own tools in it and read back what they printed.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_dir.h"

namespace wharfling::testing {

// What the probe printed: its key=value lines in order, unescaped.
class ProbeOutput {
 public:
  explicit ProbeOutput(const std::string& text);
  // The first value of key, or nothing.
  std::optional<std::string> Get(const std::string& key) const;
  std::string operator[](const std::string& key) const { return Get(key).value_or("<missing>"); }
  // Every value of key, in order.
  std::vector<std::string> All(const std::string& key) const;

 private:
  std::vector<std::pair<std::string, std::string>> lines_;
};

class WineSession {
 public:
  // The session of this test program, started on first use; null when Wine or the Windows build is
  // missing (why() then says what), unless WHARFLING_REQUIRE_WINE=1 makes that a failure.
  static WineSession* Get();
  static const std::string& why();

  ~WineSession();
  WineSession(const WineSession&) = delete;
  WineSession& operator=(const WineSession&) = delete;

  // A host path as Windows programs in the prefix name it (drive Z: is the host's root).
  static std::string WindowsPath(const std::string& hostPath);
  const std::string& modulePath() const { return modulePath_; }
  std::string ModuleWindowsPath() const { return WindowsPath(modulePath_); }
  std::string ProbeWindowsPath() const { return WindowsPath(probePath_); }
  // The prefix's own folders, e.g. the user's Send To folder.
  std::string SendToFolder() const;

  // Runs a Windows program of the prefix (e.g. "regsvr32") or the probe with the given arguments,
  // each quoted for the shell; the exit status and what it printed.
  struct Run {
    int status = -1;
    ProbeOutput output{""};
  };
  Run Windows(const std::string& program, const std::vector<std::string>& args) const;
  Run Probe(const std::vector<std::string>& args) const;

 private:
  WineSession() = default;
  bool Start(std::string& why);
  bool StartDisplay();
  void LinkWineFonts() const;
  std::string Environment() const;

  std::string wine_;
  std::string buildDir_;
  std::string modulePath_;
  std::string probePath_;
  std::unique_ptr<TempDir> prefix_;
  int display_ = -1;
  int displayPid_ = -1;
};

}  // namespace wharfling::testing
