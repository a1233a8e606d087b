#include "session/endpoints.h"

#include <algorithm>
#include <cctype>

namespace wharfling {

namespace {

// A host goes straight into URLs: nothing may change the URL's shape.
bool ShapesUrls(char c) {
  return c == '/' || c == '?' || c == '#' || c == '@' || c == '\\' || c == '[' || c == ']' ||
         static_cast<unsigned char>(c) <= ' ' || c == 0x7F;
}

bool IsPort(std::string_view digits) {
  if (digits.empty() || digits.size() > 5) return false;
  unsigned value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value >= 1 && value <= 65535;
}

}  // namespace

std::optional<std::string_view> EndpointHostProblem(std::string_view host) {
  std::string_view name = host;
  std::optional<std::string_view> port;
  if (host.starts_with('[')) {
    const std::size_t close = host.find(']');
    if (close == std::string_view::npos) return "an unclosed '['";
    name = host.substr(1, close - 1);
    const std::string_view rest = host.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return "text after the ']'";
      port = rest.substr(1);
    }
    if (!std::all_of(name.begin(), name.end(), [](char c) {
          return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
        })) {
      return "a character not allowed in an IPv6 address";
    }
  } else if (const std::size_t colon = host.find(':'); colon != std::string_view::npos) {
    name = host.substr(0, colon);
    port = host.substr(colon + 1);
  }
  if (name.empty()) return "no host name";
  if (host.size() >= 256) return "longer than 255 bytes";
  if (std::any_of(name.begin(), name.end(), ShapesUrls)) return "a character not allowed in a host name";
  if (port && !IsPort(*port)) return "a port that is not a number from 1 to 65535";
  return std::nullopt;
}

std::string Endpoint::Key() const { return prefix + "." + role; }

EndpointTable EndpointTable::Defaults() {
  EndpointTable table;
  table.entries_ = {
      {1, "web", "www.parvault.example", "parvault"},
      {2, "server", "127.0.0.1:8780", "inhouse"},
      {3, "web", "www.zorg.example", "zorg"},
      {4, "account", "www.hatena.example", "hatena"},
      {4, "photo", "f.hatena.example", "hatena"},
      {5, "web", "photo.creativepeople.example", "creativepeople"},
      {6, "web", "photohito.example", "photohito"},
      {7, "web", "mixi.example", "mixi"},
      {8, "web", "www.olio.example", "olio"},
      {9, "web", "www.iiiro.example", "iiiro"},
      {10, "main", "mypicturetown.example", "mypicturetown"},
      {10, "photoapp", "photoapp.mypicturetown.example", "mypicturetown"},
      {11, "web", "www.fueru.example", "fueru"},
      {12, "account", "account.rakuten.example", "rakuten"},
      {12, "manager", "photo.rakuten.example", "rakuten"},
      {13, "login", "secure.picmate.example", "picmate"},
      {13, "main", "www.picmate.example", "picmate"},
      {13, "upload", "upload.picmate.example", "picmate"},
      {14, "web", "www.snapfish.example", "snapfish"},
      {14, "upload", "upload.snapfish.example", "snapfish"},
  };
  return table;
}

bool EndpointTable::Override(std::string_view key, std::string_view host) {
  if (EndpointHostProblem(host)) return false;
  for (auto& entry : entries_) {
    if (entry.Key() == key) {
      entry.host = std::string(host);
      return true;
    }
  }
  return false;
}

std::string EndpointTable::Host(std::string_view key) const {
  for (const auto& entry : entries_) {
    if (entry.Key() == key) return entry.host;
  }
  return {};
}

}  // namespace wharfling
