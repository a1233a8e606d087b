#include "platform/posix/ini_settings_store.h"

#include <cstdint>
#include <limits>

#include "platform/posix/atomic_file.h"
#include "platform/posix/config_dir.h"
#include "platform/posix/ini_text.h"

namespace wharfling::posix {
namespace {

constexpr const char* kIgnored = "; its values are ignored and it will not be overwritten";

// Decimal, optionally signed, blanks around it allowed. 2^31 to 2^32-1 keep their bits, as a DWORD
// read into a signed 32-bit integer does.
std::optional<std::int32_t> ParseInt(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  constexpr std::uint64_t kMaxDword = std::numeric_limits<std::uint32_t>::max();
  std::uint64_t magnitude = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
    if (magnitude > kMaxDword) return std::nullopt;
  }
  if (negative) {
    if (magnitude > std::uint64_t{1} << 31) return std::nullopt;
    return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
}

}  // namespace

IniSettingsStore::IniSettingsStore(const std::filesystem::path& directory, const std::string& profileName,
                                   std::ostream& errors)
    : path_(directory.empty() ? std::filesystem::path() : ProfileSettingsPath(directory, profileName)),
      errors_(errors) {}

void IniSettingsStore::Report(bool& reported, const std::string& message) {
  if (reported) return;
  reported = true;
  errors_ << "settings: " << message << '\n' << std::flush;
}

std::string IniSettingsStore::FileProblem() {
  const Snapshot snapshot = Load(/*report=*/false);
  return snapshot.usable ? std::string() : fileProblem_;
}

IniSettingsStore::Snapshot IniSettingsStore::Load(bool report) {
  Snapshot snapshot;
  if (path_.empty()) {
    fileProblem_ = "no folder for the settings file (set WHARFLING_CONFIG_DIR or HOME); nothing is saved";
    if (report) Report(fileProblemReported_, fileProblem_);
    return snapshot;
  }
  FileContents file = ReadWholeFile(path_);
  if (file.outcome == FileContents::Outcome::kMissing) {
    snapshot.usable = true;
    return snapshot;
  }
  if (file.outcome == FileContents::Outcome::kFailed) {
    fileProblem_ = file.reason;
    if (report) Report(fileProblemReported_, fileProblem_ + kIgnored);
    return snapshot;
  }
  IniError error;
  auto document = IniDocument::Parse(file.bytes, &error);
  if (!document) {
    fileProblem_ = path_.string() + ":" + std::to_string(error.line) + ": " + error.reason;
    if (report) Report(fileProblemReported_, fileProblem_ + kIgnored);
    return snapshot;
  }
  snapshot.document = std::move(*document);
  snapshot.bytes = std::move(file.bytes);
  snapshot.exists = true;
  snapshot.usable = true;
  return snapshot;
}

std::optional<std::int32_t> IniSettingsStore::ReadInt(std::string_view section, std::string_view name) {
  const auto text = Load().document.Get(section, name);
  if (!text) return std::nullopt;
  return ParseInt(*text);
}

std::optional<Text> IniSettingsStore::ReadText(std::string_view section, std::string_view name) {
  const auto escaped = Load().document.GetEscaped(section, name);
  if (!escaped) return std::nullopt;
  return IniValueToCp932(*escaped);
}

void IniSettingsStore::WriteInt(std::string_view section, std::string_view name, std::int32_t value) {
  Write(section, name, std::to_string(value));
}

void IniSettingsStore::WriteText(std::string_view section, std::string_view name, std::string_view value) {
  Write(section, name, Cp932ToIniValue(value));
}

void IniSettingsStore::Write(std::string_view section, std::string_view name, std::string_view escaped) {
  Change(section, name, [&](IniDocument& document) { return document.SetEscaped(section, name, escaped); });
}

void IniSettingsStore::RemoveValue(std::string_view section, std::string_view name) {
  Change(section, name, [&](IniDocument& document) {
    document.Remove(section, name);
    return true;
  });
}

void IniSettingsStore::Change(std::string_view section, std::string_view name,
                              const std::function<bool(IniDocument&)>& change) {
  const std::string what = std::string(section) + "/" + std::string(name);
  Snapshot snapshot = Load();
  if (!snapshot.usable) {
    lastWriteError_ = "could not save " + what + ": " + fileProblem_;
    return;  // already reported by Load
  }
  if (!change(snapshot.document)) {
    lastWriteError_ = "could not save " + what + ": not a valid section or value name";
    Report(writeProblemReported_, lastWriteError_);
    return;
  }
  std::string bytes = snapshot.document.Serialize();
  if (snapshot.exists && bytes == snapshot.bytes) {
    lastWriteError_.clear();
    return;
  }
  std::string reason;
  if (!ReplaceFileAtomically(path_, bytes, reason)) {
    lastWriteError_ = "could not save " + what + ": " + reason;
    Report(writeProblemReported_, lastWriteError_);
    return;
  }
  lastWriteError_.clear();
}

}  // namespace wharfling::posix
