#include "server/pages/response_headers.h"

namespace wharfling::server {

const std::vector<std::pair<std::string, std::string>>& SecurityHeaders() {
  static const std::vector<std::pair<std::string, std::string>> headers = {
      {"Content-Security-Policy",
       "default-src 'none'; img-src 'self'; style-src 'self'; form-action 'self'; base-uri 'none'; "
       "frame-ancestors 'none'"},
      {"X-Content-Type-Options", "nosniff"},
      {"Referrer-Policy", "same-origin"},
  };
  return headers;
}

std::string AttachmentDisposition(std::string_view utf8Name) {
  std::string fallback;
  std::string encoded;
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : utf8Name) {
    const auto byte = static_cast<unsigned char>(c);
    // Printable ASCII but the quote and the backslash, which a quoted string would have to escape.
    const bool plain = byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\';
    if (plain) fallback += c;
    // A non-ASCII character becomes one '_': its continuation bytes add nothing.
    else if ((byte & 0xC0) != 0x80)
      fallback += '_';
    // attr-char of RFC 5987; everything else is percent-encoded.
    const bool attrChar = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                          std::string_view("!#$&+-.^_`|~").find(c) != std::string_view::npos;
    if (attrChar) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0x0F];
    }
  }
  return "attachment; filename=\"" + fallback + "\"; filename*=UTF-8''" + encoded;
}

}  // namespace wharfling::server
