#pragma once
// The HTTP client of the Windows build, on WinINet: no automatic redirects, the header lines added
// with add-or-replace, the raw header block as WinINet reports it, the body in reads of at most
// 10,240 bytes, and the process's WinINet cookie store.

#include "web/http_transport.h"

namespace wharfling::win32 {

class WinInetTransport final : public HttpTransport {
 public:
  HttpResponse Perform(const HttpRequest& request) override;
};

}  // namespace wharfling::win32
