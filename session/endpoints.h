#pragma once
// The hosts each destination's fixed URLs use, by role. Built-in defaults; overridable by
// configuration (see the front ends).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wharfling {

struct Endpoint {
  int site;
  std::string role;         // e.g. "web", "account", "photo"
  std::string host;         // host[:port]
  std::string Key() const;  // "<prefix>.<role>", e.g. "hatena.photo"
  std::string prefix;
};

// Why host ("name", "name:port", "[v6]" or "[v6]:port") cannot stand in a URL: empty, too long, a
// character that would change the URL's shape, an unclosed bracket, a port that is not a number from
// 1 to 65535. Nothing when it is usable.
std::optional<std::string_view> EndpointHostProblem(std::string_view host);

class EndpointTable {
 public:
  // The built-in table: one entry per destination and role.
  static EndpointTable Defaults();

  // Replaces the host of "prefix.role"; false when no such entry exists or the host is unusable
  // (EndpointHostProblem).
  bool Override(std::string_view key, std::string_view host);
  // The host of "prefix.role"; empty when there is no such entry.
  std::string Host(std::string_view key) const;
  const std::vector<Endpoint>& entries() const { return entries_; }

 private:
  std::vector<Endpoint> entries_;
};

}  // namespace wharfling
