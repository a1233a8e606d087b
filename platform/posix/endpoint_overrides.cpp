#include "platform/posix/endpoint_overrides.h"

#include <algorithm>
#include <cctype>

#include "platform/posix/atomic_file.h"
#include "platform/posix/encoding.h"
#include "platform/posix/ini_file.h"

namespace wharfling::posix {
namespace {

constexpr std::size_t kShownValueBytes = 64;
// The file names a few dozen hosts; anything near this is not one.
constexpr std::size_t kMaxFileBytes = 1024 * 1024;
constexpr std::string_view kSection = "Endpoints";

bool SameSection(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool LoadEndpointOverrides(const std::filesystem::path& file, EndpointTable& table, std::ostream& errors) {
  const FileContents contents = ReadWholeFile(file, kMaxFileBytes);
  if (contents.outcome == FileContents::Outcome::kMissing) return true;
  if (contents.outcome != FileContents::Outcome::kRead) {
    errors << "wharfling: cannot read " << file.string() << ": " << contents.reason
           << "; the file is ignored\n";
    return false;
  }
  IniError error;
  const auto document = IniDocument::Parse(contents.bytes, &error);
  if (!document) {
    errors << "wharfling: " << file.string() << ":" << error.line << ": " << error.reason
           << "; the file is ignored\n";
    return false;
  }
  bool clean = true;
  // A misspelt header would otherwise leave every host below it at its built-in value, unsaid.
  for (const IniSection& section : document->Sections()) {
    if (SameSection(section.name, kSection)) continue;
    clean = false;
    errors << "wharfling: " << file.string() << ":" << section.line << ": ignoring the section ["
           << EscapeControls(section.name) << "] (the file holds [Endpoints] only)\n";
  }
  for (const IniEntry& entry : document->Entries(kSection)) {
    const auto problem = EndpointHostProblem(entry.value);
    const bool known = !table.Host(entry.name).empty();
    if (!problem && known && table.Override(entry.name, entry.value)) continue;
    clean = false;
    // Only the start of a long value is shown: it is there to find the line, not to be read whole.
    const std::string shown =
        entry.value.size() > kShownValueBytes ? entry.value.substr(0, kShownValueBytes) + "..." : entry.value;
    errors << "wharfling: " << file.string() << ":" << entry.line << ": ignoring "
           << EscapeControls(entry.name + "=" + shown) << " ("
           << (problem ? *problem : std::string_view("unknown endpoint")) << ")\n";
  }
  return clean;
}

}  // namespace wharfling::posix
