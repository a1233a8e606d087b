#include "server/library/content_sniffing.h"

namespace wharfling::server {

std::string_view SniffImageType(std::string_view b) {
  using namespace std::string_view_literals;
  if (b.starts_with("\xFF\xD8\xFF"sv)) return "image/jpeg";
  if (b.starts_with("\x89PNG\r\n\x1A\n"sv)) return "image/png";
  if (b.starts_with("GIF87a"sv) || b.starts_with("GIF89a"sv)) return "image/gif";
  if (b.size() >= 12 && b.starts_with("RIFF"sv) && b.substr(8, 4) == "WEBP"sv) return "image/webp";
  return "";
}

}  // namespace wharfling::server
