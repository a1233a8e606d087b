#pragma once
// The profile as an INI file, <folder>/<profile>.ini, sections "Settings" and "Mode".
//
// Integers are decimal. A value that is not a decimal integer in the signed 32-bit range reads as
// absent, except that 2147483648 to 4294967295 read as the signed 32-bit value with the same bits,
// as a registry DWORD does ("4294967295" is -1), so hand-written unsigned sizes keep their bits.
// Texts are CP932 in the core and UTF-8 in the file (see ini_text.h), so the file can be edited by
// hand and every text still comes back byte for byte.
//
// Reads never create anything. Each write reads the file afresh (keeping whatever was added by hand
// or by another program meanwhile), changes one value and replaces the file atomically, mode 0600:
// it holds passwords in plain text. A file that cannot be read or does not parse is reported once,
// reads as empty and is never overwritten: writes are refused until it is fixed.

#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <string>

#include "platform/posix/ini_file.h"
#include "session/settings_store.h"

namespace wharfling::posix {

class IniSettingsStore final : public SettingsStore {
 public:
  // The profile <directory>/<profileName>.ini; problems are written to errors. An empty directory
  // (no configuration folder could be found) gives a store that reads nothing and saves nothing.
  IniSettingsStore(const std::filesystem::path& directory, const std::string& profileName,
                   std::ostream& errors = std::cerr);

  std::optional<std::int32_t> ReadInt(std::string_view section, std::string_view name) override;
  std::optional<Text> ReadText(std::string_view section, std::string_view name) override;
  void WriteInt(std::string_view section, std::string_view name, std::int32_t value) override;
  void WriteText(std::string_view section, std::string_view name, std::string_view value) override;
  void RemoveValue(std::string_view section, std::string_view name) override;

  const std::filesystem::path& path() const { return path_; }
  // Why the file cannot be used ("<path>:<line>: <reason>" for one that does not parse), or empty
  // when it can (a missing file can: it reads as empty). Reports nothing.
  std::string FileProblem();
  // Why the latest write did not reach the file; empty when it did.
  const std::string& lastWriteError() const { return lastWriteError_; }

 private:
  struct Snapshot {
    IniDocument document;
    std::string bytes;  // the file as read
    bool exists = false;
    bool usable = false;  // false: unreadable or malformed, never to be overwritten
  };

  Snapshot Load(bool report = true);
  void Write(std::string_view section, std::string_view name, std::string_view escaped);
  // Applies change to the file as it is now; change returns false when the names are not valid.
  void Change(std::string_view section, std::string_view name,
              const std::function<bool(IniDocument&)>& change);
  void Report(bool& reported, const std::string& message);

  std::filesystem::path path_;
  std::ostream& errors_;
  std::string fileProblem_;  // the latest reason the file is not usable
  std::string lastWriteError_;
  bool fileProblemReported_ = false;
  bool writeProblemReported_ = false;
};

}  // namespace wharfling::posix
