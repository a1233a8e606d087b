#pragma once
// Reads a multipart/form-data body back into its parts, for fakes and tests that check what arrived.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wharfling::testing {

// The boundary of every body the uploader sends.
inline constexpr std::string_view kUploaderBoundary = "---------------------------7d432817150952";

struct FormPart {
  std::string name;
  std::optional<std::string> fileName;  // none for a text field
  std::string contentType;              // empty when the part has none
  std::string value;
};

// The parts up to the closing delimiter, in order; a part cut off before its delimiter is left out.
std::vector<FormPart> ParseMultipart(std::string_view body, std::string_view boundary = kUploaderBoundary);

}  // namespace wharfling::testing
