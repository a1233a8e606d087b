#include "server/library/client_file_name.h"

#include <optional>

#include "platform/posix/encoding.h"
#include "text/file_name.h"
#include "text/text.h"

namespace wharfling::server {
namespace {

bool IsControlByte(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

// Length of the CP932 character that starts at `at`: 2 for a lead byte with a byte after it.
std::size_t CharacterLength(std::string_view text, std::size_t at) {
  return IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < text.size() ? 2 : 1;
}

// CP932 to UTF-8, one character at a time where the whole text does not convert, so that one
// odd byte costs one '_' rather than the name.
std::string ToUtf8(std::string_view cp932) {
  if (auto whole = posix::ConvertEncoding(cp932, "CP932", "UTF-8")) return *whole;
  std::string out;
  for (std::size_t at = 0; at < cp932.size();) {
    const std::size_t length = CharacterLength(cp932, at);
    if (auto one = posix::ConvertEncoding(cp932.substr(at, length), "CP932", "UTF-8")) {
      out += *one;
    } else {
      out += '_';
    }
    at += length;
  }
  return out;
}

// The checks both kinds of name share, on the base name as sent.
std::optional<StoredName> RefusedBaseName(std::string_view base) {
  if (base.empty() || base.front() == '.') return StoredName{{}, NameProblem::kBad};
  for (const char c : base) {
    if (IsControlByte(static_cast<unsigned char>(c))) return StoredName{{}, NameProblem::kBad};
  }
  // Checked before any conversion, so that a huge name is never converted.
  if (base.size() > kMaxStoredNameBytes) return StoredName{{}, NameProblem::kTooLong};
  return std::nullopt;
}

}  // namespace

std::string_view ClientBaseName(std::string_view cp932Path) { return FileNameOf(cp932Path); }

StoredName StoredNameFor(std::string_view cp932Path) {
  const std::string_view base = ClientBaseName(cp932Path);
  if (auto refused = RefusedBaseName(base)) return *refused;
  std::string utf8 = ToUtf8(base);
  if (utf8.size() > kMaxStoredNameBytes) return {{}, NameProblem::kTooLong};
  if (utf8.find('\0') != std::string::npos || utf8.find('/') != std::string::npos) {
    return {{}, NameProblem::kBad};
  }
  return {std::move(utf8), NameProblem::kNone};
}

StoredName StoredNameForUtf8(std::string_view utf8Path) {
  const std::size_t separator = utf8Path.find_last_of("/\\");
  const std::string_view base =
      separator == std::string_view::npos ? utf8Path : utf8Path.substr(separator + 1);
  if (auto refused = RefusedBaseName(base)) return *refused;
  if (!posix::ConvertEncoding(base, "UTF-8", "UTF-8")) return {{}, NameProblem::kBad};
  return {std::string(base), NameProblem::kNone};
}

std::string NumberedName(std::string_view name, int number) {
  const std::string suffix = " (" + std::to_string(number) + ")";
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return std::string(name) + suffix;
  return std::string(name.substr(0, dot)) + suffix + std::string(name.substr(dot));
}

}  // namespace wharfling::server
