#pragma once
// The browser command line built from the registered HTML handler (the label's error texts are the
// core's, ui/hyperlink_messages.h).

#include <string>
#include <string_view>

namespace wharfling::win32 {

// The registered "open" command with the address in place of its "%1" placeholder: the command is
// cut where "\"%1\"" (or else "%1") starts, then a space and the address follow.
std::string BrowserCommandLine(std::string_view command, std::string_view address);

}  // namespace wharfling::win32
