#pragma once
// The command line that opens a link: the registered HTML handler's command with the link's address.

#include <string>
#include <string_view>

namespace wharfling::win32 {

// The registered "open" command with the address in place of its "%1" placeholder: the command is
// cut where "\"%1\"" (or else "%1") starts, then a space and the address follow.
std::string BrowserCommandLine(std::string_view command, std::string_view address);

}  // namespace wharfling::win32
