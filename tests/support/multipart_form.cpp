#include "tests/support/multipart_form.h"

namespace wharfling::testing {
namespace {

// The text between `before` and `after` in text; empty when `before` is missing.
std::string Between(std::string_view text, std::string_view before, std::string_view after) {
  const auto start = text.find(before);
  if (start == std::string_view::npos) return {};
  const auto from = start + before.size();
  const auto end = text.find(after, from);
  return std::string(text.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from));
}

}  // namespace

std::vector<FormPart> ParseMultipart(std::string_view body, std::string_view boundary) {
  const std::string delimiter = "--" + std::string(boundary);
  const std::string nextDelimiter = "\r\n" + delimiter;
  std::vector<FormPart> parts;
  std::size_t pos = body.find(delimiter);
  while (pos != std::string_view::npos) {
    pos += delimiter.size();
    if (body.substr(pos, 2) == "--") break;
    pos += 2;  // CRLF
    const auto headerEnd = body.find("\r\n\r\n", pos);
    if (headerEnd == std::string_view::npos) break;
    // A leading "; " or " " keeps "filename=" from being read as the name.
    const std::string headers = " " + std::string(body.substr(pos, headerEnd - pos));
    const auto next = body.find(nextDelimiter, headerEnd + 4);
    if (next == std::string_view::npos) break;
    FormPart part;
    part.name = Between(headers, " name=\"", "\"");
    if (headers.find("filename=\"") != std::string::npos)
      part.fileName = Between(headers, "filename=\"", "\"");
    part.contentType = Between(headers, "Content-Type: ", "\r\n");
    part.value = std::string(body.substr(headerEnd + 4, next - headerEnd - 4));
    parts.push_back(std::move(part));
    pos = next + 2;
  }
  return parts;
}

}  // namespace wharfling::testing
