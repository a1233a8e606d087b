#pragma once
// Header values every answer of this server carries, and the names files are downloaded under.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wharfling::server {

// Content-Security-Policy (nothing but this server's own images, stylesheet and forms; no script),
// X-Content-Type-Options and Referrer-Policy.
const std::vector<std::pair<std::string, std::string>>& SecurityHeaders();

// Content-Disposition for a file saved under `utf8Name` (RFC 6266): a plain ASCII stand-in in
// filename="..." for old clients, the exact name in filename*=UTF-8''... (RFC 5987).
std::string AttachmentDisposition(std::string_view utf8Name);

}  // namespace wharfling::server
