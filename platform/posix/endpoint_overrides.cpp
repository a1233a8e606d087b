#include "platform/posix/endpoint_overrides.h"

#include "platform/posix/atomic_file.h"
#include "platform/posix/encoding.h"
#include "platform/posix/ini_file.h"

namespace wharfling::posix {
namespace {

constexpr std::size_t kShownValueBytes = 64;

}  // namespace

bool LoadEndpointOverrides(const std::filesystem::path& file, EndpointTable& table, std::ostream& errors) {
  const FileContents contents = ReadWholeFile(file);
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
  for (const IniEntry& entry : document->Entries("Endpoints")) {
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
