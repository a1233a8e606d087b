#pragma once
// The file name an uploader sends is the full local path of its photo, in CP932, with either
// separator and perhaps a drive letter. These turn it into a safe name inside a user's folder.

#include <cstddef>
#include <string>
#include <string_view>

namespace wharfling::server {

// Longest stored name, in UTF-8 bytes: leaves room for a " (NNNN)" suffix below NAME_MAX.
inline constexpr std::size_t kMaxStoredNameBytes = 200;

// The part after the last '/' or '\'. A '\' that is the trail byte of a double-byte character
// (as in the CP932 bytes of "表") is not a separator. A leading drive ("C:") is dropped.
std::string_view ClientBaseName(std::string_view cp932Path);

enum class NameProblem { kNone, kBad, kTooLong };

struct StoredName {
  std::string utf8;  // the name on disk, when problem is kNone
  NameProblem problem = NameProblem::kNone;
};

// The name under which the client's file is stored: its base name, converted from CP932 to UTF-8
// (a character that does not convert becomes '_'). Refused as bad: an empty name, "." and "..",
// a leading dot (hidden files, and the server's own temporary files), control bytes. Refused as
// too long: more than kMaxStoredNameBytes once converted.
StoredName StoredNameFor(std::string_view cp932Path);

// The same for a browser's file name, UTF-8 (a browser sends the name without its folder, but a
// path is cut to its base name all the same); a name that is not valid UTF-8 is refused as bad.
StoredName StoredNameForUtf8(std::string_view utf8Path);

// The name tried when `name` is taken: "photo.jpg", 2 -> "photo (2).jpg"; a name without an
// extension gets the number at its end.
std::string NumberedName(std::string_view name, int number);

}  // namespace wharfling::server
