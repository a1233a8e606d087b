#pragma once
// The fallback way of opening a web address: the command line of the desktop's default handler of
// HTML files (the desktop entry that mimeapps.list names for text/html), with the address in
// place of its first file or URL argument.

#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/environment.h"

namespace wharfling::posix {

// The handler's command for address; nothing when no handler or no command line is found.
std::optional<std::string> HtmlHandlerCommand(std::string_view address, const EnvironmentLookup& environment);

// exec cut where its first field code for files or URLs starts ("%u" in double quotes, or else a
// bare %u, %U, %f or %F), then a space and the address. A line without one is kept whole.
std::string ComposeHandlerCommand(std::string_view exec, std::string_view address);

}  // namespace wharfling::posix
