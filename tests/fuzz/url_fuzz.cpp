// The URL split and the request target built from it: what a site's pages and redirects feed in.

#include "tests/fuzz/fuzz_input.h"
#include "web/url_parts.h"

namespace {

using wharfling::fuzz::Check;

// Nothing that would end or split a request line may survive the escaping.
void CheckTargetLine(std::string_view line) {
  for (const char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    Check(byte > 0x20 && byte != 0x7F);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view url(reinterpret_cast<const char*>(data), size);
  CheckTargetLine(wharfling::EscapeRequestTarget(url));
  Check(wharfling::PercentDecode(url).size() <= url.size());
  const auto parts = wharfling::SplitUrl(url);
  if (!parts) return 0;
  Check(parts->scheme == "http" || parts->scheme == "https");
  Check(parts->port != 0);
  Check(!parts->host.empty() && parts->host.size() < wharfling::kUrlHostCapacity);
  Check(!parts->path.empty() && parts->path.front() == '/');
  Check(parts->extra.empty() || parts->extra.front() == '?');
  const std::string target = wharfling::EscapeRequestTarget(parts->Target());
  CheckTargetLine(target);
  Check(target.front() == '/');
  return 0;
}
