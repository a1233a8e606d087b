#pragma once
// The page requests of the drivers: always with automatic redirects off, in direct mode unless a
// request says otherwise, under the MSIE 6 identity unless a site needs another.

#include <optional>
#include <string_view>

#include "web/web_client.h"

namespace wharfling {

struct PageOptions {
  bool secure = false;
  std::optional<std::string_view> extraHeader{};  // one line without CRLF, such as a "Referer: " line
  AccessMode access = AccessMode::kDirect;
  const RequestProfile* profile = nullptr;  // Msie6Profile when null
};

bool GetPage(WebClient& web, std::string_view url, const PageOptions& options = {});
// A form POST: the body as given, sent as application/x-www-form-urlencoded.
bool PostForm(WebClient& web, std::string_view url, std::string_view body, const PageOptions& options = {});

// The request flags of a request: redirects off, and the secure channel when asked for.
std::uint32_t RequestFlags(bool secure);

// "Referer: " + address.
Text RefererLine(std::string_view address);

}  // namespace wharfling
