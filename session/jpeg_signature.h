#pragma once
// Whether bytes are a JPEG, by their signature rather than by the file's name.

#include <string>
#include <string_view>

namespace wharfling {

// The start-of-image marker followed by the first segment's marker byte: FF D8 FF.
inline constexpr std::string_view kJpegSignature = "\xFF\xD8\xFF";

bool HasJpegSignature(std::string_view bytes);

// Reads the first bytes of the file at path; false when they cannot be read or are no JPEG signature.
bool FileHasJpegSignature(const std::string& path);

}  // namespace wharfling
