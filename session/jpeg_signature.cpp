#include "session/jpeg_signature.h"

#include <array>

#include "session/file_bytes.h"

namespace wharfling {

bool HasJpegSignature(std::string_view bytes) { return bytes.starts_with(kJpegSignature); }

bool FileHasJpegSignature(const std::string& path) {
  std::array<char, kJpegSignature.size()> head{};
  return ReadFileInto(path, head) && HasJpegSignature(std::string_view(head.data(), head.size()));
}

}  // namespace wharfling
