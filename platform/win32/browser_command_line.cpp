#include "platform/win32/browser_command_line.h"

namespace wharfling::win32 {

std::string BrowserCommandLine(std::string_view command, std::string_view address) {
  auto placeholder = command.find("\"%1\"");
  if (placeholder == std::string_view::npos) placeholder = command.find("%1");
  std::string line(command.substr(0, placeholder));
  return line + " " + std::string(address);
}

}  // namespace wharfling::win32
