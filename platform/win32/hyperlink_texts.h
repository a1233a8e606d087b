#pragma once
// The hyperlink label's texts that do not depend on the platform: the error message for a failed
// open and the browser command line built from the registered HTML handler.

#include <string>
#include <string_view>

namespace wharfling::win32 {

// "Unable to open hyperlink:\n\n" followed by the description of the launcher's result code.
std::string HyperlinkErrorMessage(long long resultCode);

// The registered "open" command with the address in place of its "%1" placeholder: the command is
// cut where "\"%1\"" (or else "%1") starts, then a space and the address follow.
std::string BrowserCommandLine(std::string_view command, std::string_view address);

}  // namespace wharfling::win32
