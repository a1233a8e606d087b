#include "platform/posix/endpoint_overrides.h"

#include "platform/posix/atomic_file.h"
#include "platform/posix/ini_file.h"

namespace wharfling::posix {

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
    if (!table.Override(entry.name, entry.value)) {
      clean = false;
      errors << "wharfling: " << file.string() << ": ignoring " << entry.name << "=" << entry.value
             << " (unknown endpoint or unusable host)\n";
    }
  }
  return clean;
}

}  // namespace wharfling::posix
