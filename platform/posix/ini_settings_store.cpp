#include "platform/posix/ini_settings_store.h"

#include <chrono>
#include <cstdint>
#include <limits>
#include <utility>

#include "platform/posix/atomic_file.h"
#include "platform/posix/config_dir.h"
#include "platform/posix/encoding.h"
#include "platform/posix/file_lock.h"
#include "platform/posix/ini_text.h"
#include "session/settings.h"

namespace wharfling::posix {
namespace {

constexpr const char* kIgnored = "; its values are ignored and it will not be overwritten";
// Long enough for a save that waits on the keyring or a slow disk, short enough that a program that
// hangs holding the lock does not hold up the others for good.
constexpr std::chrono::milliseconds kLockPatience{10000};
constexpr std::size_t kShownValueBytes = 64;

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Decimal, optionally signed, blanks around it allowed; the magnitude when it fits 32 bits.
std::optional<std::pair<bool, std::uint64_t>> ParseDecimal(std::string_view text) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  std::uint64_t magnitude = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
    if (magnitude > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  }
  return std::pair(negative, magnitude);
}

// 2^31 to 2^32-1 keep their bits, as a DWORD read into a signed 32-bit integer does.
std::optional<std::int32_t> ParseInt(std::string_view text) {
  const auto number = ParseDecimal(text);
  if (!number) return std::nullopt;
  const auto [negative, magnitude] = *number;
  if (negative) {
    if (magnitude > std::uint64_t{1} << 31) return std::nullopt;
    return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
}

bool InRange(std::string_view text, bool isUnsigned) {
  const auto number = ParseDecimal(text);
  if (!number) return false;
  const auto [negative, magnitude] = *number;
  if (isUnsigned) return !negative || magnitude == 0;
  return magnitude <= (negative ? std::uint64_t{1} << 31 : std::uint64_t{INT32_MAX});
}

// The profile's integer values that are not in their range, one line each.
std::vector<std::string> ValueProblems(const IniDocument& document, const std::filesystem::path& path) {
  std::vector<std::string> problems;
  for (const ProfileInteger& integer : ProfileIntegers()) {
    const auto entry = document.Find(integer.section, integer.name);
    if (!entry || InRange(entry->value, integer.isUnsigned)) continue;
    const std::string shown = entry->escaped.size() > kShownValueBytes
                                  ? entry->escaped.substr(0, kShownValueBytes) + "..."
                                  : entry->escaped;
    problems.push_back(path.string() + ":" + std::to_string(entry->line) + ": " +
                       EscapeControls(entry->name + "=" + shown) + " is not a whole number from " +
                       (integer.isUnsigned ? "0 to 4294967295" : "-2147483648 to 2147483647"));
  }
  return problems;
}

std::string ChangeNames(const std::vector<SettingChange>& changes) {
  std::string names;
  for (const SettingChange& change : changes) {
    if (!names.empty()) names += ", ";
    names += change.section + "/" + change.name;
  }
  return names;
}

}  // namespace

IniSettingsStore::IniSettingsStore(const std::filesystem::path& directory, const std::string& profileName,
                                   std::ostream& errors)
    : path_(directory.empty() ? std::filesystem::path() : ProfileSettingsPath(directory, profileName)),
      errors_(errors) {}

std::filesystem::path IniSettingsStore::lockPath() const {
  if (path_.empty()) return {};
  return path_.parent_path() / ("." + path_.filename().string() + ".lock");
}

void IniSettingsStore::Report(bool& reported, const std::string& message) {
  if (reported) return;
  reported = true;
  errors_ << "settings: " << message << '\n' << std::flush;
}

std::vector<std::string> IniSettingsStore::Problems() {
  Current();
  return current_->problems;
}

IniSettingsStore::Snapshot IniSettingsStore::Load(bool report) {
  Snapshot snapshot;
  const auto fail = [&](std::vector<std::string> problems, std::string_view consequence = kIgnored) {
    snapshot.problems = std::move(problems);
    if (report) {
      std::string message;
      for (const auto& problem : snapshot.problems)
        message += (message.empty() ? "" : "\nsettings: ") + problem;
      Report(fileProblemReported_, message + std::string(consequence));
    }
    return snapshot;
  };
  if (path_.empty()) {
    return fail({"no folder for the settings file (set WHARFLING_CONFIG_DIR or HOME); nothing is saved"}, "");
  }
  FileContents file = ReadWholeFile(path_, kMaxProfileBytes);
  if (file.outcome == FileContents::Outcome::kMissing) return snapshot;
  if (file.outcome == FileContents::Outcome::kFailed) return fail({file.reason});
  IniError error;
  auto document = IniDocument::Parse(file.bytes, &error);
  if (!document) return fail({path_.string() + ":" + std::to_string(error.line) + ": " + error.reason});
  if (auto problems = ValueProblems(*document, path_); !problems.empty()) return fail(std::move(problems));
  snapshot.document = std::move(*document);
  snapshot.bytes = std::move(file.bytes);
  snapshot.exists = true;
  return snapshot;
}

const IniDocument& IniSettingsStore::Current() {
  if (!current_) current_ = Load(/*report=*/true);
  return current_->document;
}

std::optional<std::int32_t> IniSettingsStore::ReadInt(std::string_view section, std::string_view name) {
  const auto text = Current().Get(section, name);
  if (!text) return std::nullopt;
  return ParseInt(*text);
}

std::optional<Text> IniSettingsStore::ReadText(std::string_view section, std::string_view name) {
  const auto escaped = Current().GetEscaped(section, name);
  if (!escaped) return std::nullopt;
  return IniValueToCp932(*escaped);
}

void IniSettingsStore::WriteInt(std::string_view section, std::string_view name, std::int32_t value) {
  Apply({SettingChange::Int(section, name, value)});
}

void IniSettingsStore::WriteText(std::string_view section, std::string_view name, std::string_view value) {
  Apply({SettingChange::String(section, name, value)});
}

void IniSettingsStore::RemoveValue(std::string_view section, std::string_view name) {
  Apply({SettingChange::Removal(section, name)});
}

void IniSettingsStore::Apply(const std::vector<SettingChange>& changes) {
  const std::string what = ChangeNames(changes);
  bool namesValid = true;
  const bool saved = Update(what, [&](IniDocument& document) {
    for (const SettingChange& change : changes) {
      switch (change.kind) {
        case SettingChange::Kind::kInt:
          namesValid = document.SetEscaped(change.section, change.name, std::to_string(change.number));
          break;
        case SettingChange::Kind::kText:
          namesValid = document.SetEscaped(change.section, change.name, Cp932ToIniValue(change.text));
          break;
        case SettingChange::Kind::kRemove:
          document.Remove(change.section, change.name);
          break;
      }
      if (!namesValid) return false;
    }
    return true;
  });
  if (!saved && !namesValid) {
    lastWriteError_ = "could not save " + what + ": not a valid section or value name";
    Report(writeProblemReported_, lastWriteError_);
  }
}

bool IniSettingsStore::Update(const std::string& what, const std::function<bool(IniDocument&)>& change) {
  if (path_.empty()) {
    lastWriteError_ = "could not save " + what + ": no folder for the settings file";
    Current();  // reports the missing folder once
    return false;
  }
  const FileLock lock(lockPath(), kLockPatience);
  if (!lock.held()) {
    lastWriteError_ = "could not save " + what + ": " + lock.reason();
    Report(writeProblemReported_, lastWriteError_);
    return false;
  }
  // Saves take turns, so a temporary file now is one that a killed save left behind.
  RemoveLeftoverTemporaries(path_);
  Snapshot fresh = Load(/*report=*/true);
  if (!fresh.problems.empty()) {
    lastWriteError_ = "could not save " + what + ": " + fresh.problems.front();
    current_ = std::move(fresh);
    return false;  // already reported
  }
  if (!change(fresh.document)) {
    lastWriteError_.clear();
    // Re-read anyway; what the file holds now is the latest.
    if (auto reread = Load(/*report=*/false); reread.problems.empty()) current_ = std::move(reread);
    return false;
  }
  std::string bytes = fresh.document.Serialize();
  if (fresh.exists ? bytes != fresh.bytes : !bytes.empty()) {
    std::string reason;
    if (!ReplaceFileAtomically(path_, bytes, reason)) {
      lastWriteError_ = "could not save " + what + ": " + reason;
      Report(writeProblemReported_, lastWriteError_);
      return false;
    }
    fresh.bytes = std::move(bytes);
    fresh.exists = true;
  }
  lastWriteError_.clear();
  current_ = std::move(fresh);
  return true;
}

}  // namespace wharfling::posix
