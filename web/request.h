#pragma once
// What a page request or an upload is made of: request flags, access modes, verbs and the fixed
// client identities (user agent plus header lines) the sites are talked to with.

#include <cstdint>
#include <string_view>
#include <vector>

namespace wharfling {

// Request flags a driver hands the client, the same bits on every platform: kFlagSecure asks for
// TLS as an https URL does; no transport follows redirects, so kFlagNoAutoRedirect changes nothing.
inline constexpr std::uint32_t kFlagNoAutoRedirect = 0x00200000;
inline constexpr std::uint32_t kFlagSecure = 0x00800000;

// How the client reaches the network: the system's internet settings (proxy included) or directly.
enum class AccessMode { kSystemSettings = 0, kDirect = 1 };

enum class Method { kGet, kPost };

// A client identity: the user agent and the header lines added to every request, in order.
// Each line ends in CRLF.
struct RequestProfile {
  std::string_view userAgent;
  std::vector<std::string_view> headerLines;
};

// Page profiles.
const RequestProfile& Msie6Profile();
const RequestProfile& Msie7Profile();

// Upload profiles. The multipart Content-Type line is not part of them: the upload send adds it.
const RequestProfile& Msie6UploadProfile();
const RequestProfile& Msie7UploadProfile();

// "GET" or "POST".
std::string_view MethodName(Method method);

}  // namespace wharfling
