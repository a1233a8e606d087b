#include "web/request_headers.h"

#include <algorithm>

#include "text/text.h"

namespace wharfling {
namespace {

bool IsValidName(std::string_view name) {
  if (name.empty()) return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F;
  });
}

std::string_view ValueOf(std::string_view line) {
  std::string_view value = line.substr(line.find(':') + 1);
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  return value;
}

}  // namespace

std::string_view HeaderName(std::string_view line) {
  const std::size_t colon = line.find(':');
  return colon == std::string_view::npos ? std::string_view() : line.substr(0, colon);
}

void RequestHeaders::Add(std::string_view text) {
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    AddLine(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

bool RequestHeaders::Has(std::string_view name) const {
  return std::any_of(lines_.begin(), lines_.end(),
                     [name](const std::string& line) { return EqualsIgnoreCase(HeaderName(line), name); });
}

void RequestHeaders::AddLine(std::string_view line) {
  const std::string_view name = HeaderName(line);
  if (!IsValidName(name)) return;
  std::erase_if(lines_, [name](const std::string& held) { return EqualsIgnoreCase(HeaderName(held), name); });
  if (!ValueOf(line).empty()) lines_.emplace_back(line);
}

}  // namespace wharfling
