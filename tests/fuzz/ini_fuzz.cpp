// The INI document: parsing and writing back keeps every byte, and setting one value changes that
// value only.

#include <cctype>

#include "platform/posix/ini_file.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

using wharfling::fuzz::Check;
using wharfling::fuzz::FuzzInput;
using wharfling::posix::IniDocument;

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::string_view section = input.Text(12);
  const std::string_view name = input.Text(12);
  const std::string_view value = input.Text(24);
  const std::string_view text = input.rest();

  auto document = IniDocument::Parse(text);
  if (!document) return 0;
  Check(document->Serialize() == text);

  const auto before = document->Entries(section);
  if (!document->Set(section, name, value)) {
    Check(document->Serialize() == text);
    return 0;
  }
  const auto reread = IniDocument::Parse(document->Serialize());
  Check(reread.has_value());
  Check(reread->Get(section, name) == std::string(value));
  // Every other value of the section reads as it did.
  for (const auto& entry : before) {
    if (!SameName(entry.name, name)) Check(reread->Get(section, entry.name) == entry.value);
  }
  return 0;
}
