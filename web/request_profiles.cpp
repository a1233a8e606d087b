#include "web/request.h"

namespace wharfling {
namespace {

constexpr std::string_view kMsie6Agent =
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.1.4322)";
constexpr std::string_view kMsie7Agent =
    "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; .NET CLR 1.1.4322; .NET CLR 2.0.50727)";

constexpr std::string_view kMsie6Accept =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-powerpoint, application/vnd.ms-excel, application/msword, */*\r\n";
constexpr std::string_view kMsie7Accept =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-excel, "
    "application/vnd.ms-powerpoint, application/msword, application/x-silverlight, "
    "application/x-shockwave-flash, */*\r\n";
constexpr std::string_view kAcceptLanguage = "Accept-Language: ja\r\n";
constexpr std::string_view kProxyKeepAlive = "Proxy-Connection: Keep-Alive\r\n";

}  // namespace

const RequestProfile& Msie6Profile() {
  static const RequestProfile profile{kMsie6Agent, {kMsie6Accept, kAcceptLanguage, kProxyKeepAlive}};
  return profile;
}

const RequestProfile& Msie7Profile() {
  static const RequestProfile profile{
      kMsie7Agent,
      {kMsie7Accept, kAcceptLanguage, "Cache-Control: no-cache\r\n", "Accept-Encoding: gzip, deflate\r\n"}};
  return profile;
}

const RequestProfile& Msie6UploadProfile() {
  static const RequestProfile profile{kMsie6Agent, {kMsie6Accept, kAcceptLanguage, kProxyKeepAlive}};
  return profile;
}

const RequestProfile& Msie7UploadProfile() {
  // The third line replaces the first when the lines are added, so the upload carries only this Accept.
  static const RequestProfile profile{
      kMsie7Agent,
      {kMsie7Accept, kAcceptLanguage,
       "Accept: text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,"
       "image/png,*/*;q=0.5\r\n",
       "Accept-Encoding: gzip,deflate\r\n"}};
  return profile;
}

std::string_view MethodName(Method method) { return method == Method::kPost ? "POST" : "GET"; }

}  // namespace wharfling
