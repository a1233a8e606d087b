#pragma once
// The profile as an INI file, <folder>/<profile>.ini, sections "Settings" and "Mode".
//
// Integers are decimal. The profile's own integer values (session/settings.h) must be decimal
// integers in their range, signed 32-bit or, for the size limits, unsigned 32-bit (read as the
// signed value with the same bits, as a registry DWORD is); any other is a problem of the file.
// Texts are CP932 in the core and UTF-8 in the file (see ini_text.h), so the file can be edited by
// hand and every text still comes back byte for byte.
//
// The file is read and checked once, at the first read. Reads never create anything. A save takes
// the lock file beside the profile (waiting a bounded time for another program's save), removes the
// temporary files of saves that were killed, reads the file afresh (keeping whatever was added by
// hand or by another program meanwhile), changes all of its values and replaces the file
// atomically, mode 0600: it holds passwords in plain text. So two programs never lose each other's
// values and a killed save leaves the old file or the new one. A file that cannot be read, does not
// parse, holds a bad value or is over 1 MiB is reported once, reads as empty and is never
// overwritten: saves are refused until it is fixed.

#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/ini_file.h"
#include "session/settings_store.h"

namespace wharfling::posix {

// Larger than any profile a person keeps; a file over it is not read at all.
inline constexpr std::size_t kMaxProfileBytes = 1024 * 1024;

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
  void Apply(const std::vector<SettingChange>& changes) override;

  // Changes the file as it is under the lock, as one save; change returns false to write nothing.
  // False when nothing was saved (lastWriteError says why, unless change declined).
  bool Update(const std::string& what, const std::function<bool(IniDocument&)>& change);

  const std::filesystem::path& path() const { return path_; }
  // The file as first read (empty when it has problems), or as this program last saved it.
  const IniDocument& document() { return Current(); }
  // The lock file that saves take, beside the profile.
  std::filesystem::path lockPath() const;
  // Why the file cannot be used, one line each ("<path>:<line>: <reason>" where a line is to blame),
  // or nothing when it can (a missing file can: it reads as empty). Reports nothing.
  std::vector<std::string> Problems();
  // Why the latest save did not reach the file; empty when it did.
  const std::string& lastWriteError() const { return lastWriteError_; }

 private:
  struct Snapshot {
    IniDocument document;
    std::string bytes;  // the file as read
    bool exists = false;
    std::vector<std::string> problems;  // not empty: never to be read or overwritten
  };

  Snapshot Load(bool report);
  // The file as first read, or as this process last saved it.
  const IniDocument& Current();
  void Report(bool& reported, const std::string& message);

  std::filesystem::path path_;
  std::ostream& errors_;
  std::optional<Snapshot> current_;
  std::string lastWriteError_;
  bool fileProblemReported_ = false;
  bool writeProblemReported_ = false;
};

}  // namespace wharfling::posix
