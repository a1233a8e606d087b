#include "sites/page_requests.h"

namespace wharfling {
namespace {

bool Exchange(WebClient& web, std::string_view url, Method method, std::string_view body,
              const PageOptions& options) {
  return web.HttpExchange(options.profile ? *options.profile : Msie6Profile(), url, method,
                          RequestFlags(options.secure), body, options.extraHeader, options.access);
}

}  // namespace

std::uint32_t RequestFlags(bool secure) { return kFlagNoAutoRedirect | (secure ? kFlagSecure : 0u); }

bool GetPage(WebClient& web, std::string_view url, const PageOptions& options) {
  return Exchange(web, url, Method::kGet, "", options);
}

bool PostForm(WebClient& web, std::string_view url, std::string_view body, const PageOptions& options) {
  return Exchange(web, url, Method::kPost, body, options);
}

Text RefererLine(std::string_view address) { return "Referer: " + Text(address); }

}  // namespace wharfling
