#include "platform/win32/hyperlink_texts.h"

#include <array>
#include <utility>

namespace wharfling::win32 {

std::string HyperlinkErrorMessage(long long resultCode) {
  static constexpr std::array<std::pair<long long, std::string_view>, 13> kDescriptions{{
      {0, "The operating system is out\nof memory or resources."},
      {2, "The specified file was not found."},
      {3, "The specified path was not found."},
      {5, "The operating system denied\naccess to the specified file."},
      {8, "There was not enough memory to complete the operation."},
      {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
      {26, "A sharing violation occurred. "},
      {27, "The filename association is\nincomplete or invalid."},
      {28, "The DDE transaction could not\nbe completed because the request timed out."},
      {29, "The DDE transaction failed."},
      {30,
       "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed."},
      {31, "There is no application associated\nwith the given filename extension."},
      {32, "The specified dynamic-link library was not found."},
  }};
  std::string message = "Unable to open hyperlink:\n\n";
  for (const auto& [code, description] : kDescriptions) {
    if (code == resultCode) return message + std::string(description);
  }
  return message + "Unknown Error (" + std::to_string(resultCode) + ") occurred.";
}

std::string BrowserCommandLine(std::string_view command, std::string_view address) {
  auto placeholder = command.find("\"%1\"");
  if (placeholder == std::string_view::npos) placeholder = command.find("%1");
  std::string line(command.substr(0, placeholder));
  return line + " " + std::string(address);
}

}  // namespace wharfling::win32
