#include "server/engine/http_exchange.h"

#include "text/text.h"

namespace wharfling::server {

std::optional<std::string_view> FindField(const Fields& fields, std::string_view name) {
  for (const auto& [key, value] : fields) {
    if (EqualsIgnoreCase(key, name)) return value;
  }
  return std::nullopt;
}

std::string HttpRequest::Header(std::string_view name) const {
  return std::string(FindField(headers, name).value_or(""));
}

std::string HttpRequest::Param(std::string_view name) const {
  for (const auto& [key, value] : query) {
    if (key == name) return value;
  }
  return {};
}

bool HttpRequest::HasBody() const {
  if (HasHeader("Transfer-Encoding")) return true;
  const auto length = FindField(headers, "Content-Length");
  return length && *length != "0";
}

bool HttpRequest::IsMultipart() const {
  const std::string type = Header("Content-Type");
  return type.size() >= 10 && EqualsIgnoreCase(std::string_view(type).substr(0, 10), "multipart/");
}

void HttpResponse::SetHeader(std::string_view name, std::string value) {
  for (auto& [key, old] : headers) {
    if (EqualsIgnoreCase(key, name)) {
      old = std::move(value);
      return;
    }
  }
  headers.emplace_back(std::string(name), std::move(value));
}

std::string HttpResponse::Header(std::string_view name) const {
  return std::string(FindField(headers, name).value_or(""));
}

void HttpResponse::SetContent(std::string content, std::string_view type) {
  body = std::move(content);
  file.Reset();
  SetHeader("Content-Type", std::string(type));
}

void HttpResponse::SetFile(UniqueFd fd, std::uint64_t size, std::string_view type) {
  body.clear();
  file = std::move(fd);
  fileSize = size;
  SetHeader("Content-Type", std::string(type));
}

}  // namespace wharfling::server
