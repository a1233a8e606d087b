#include "platform/posix/proxy_choice.h"

#include <cstdlib>

#include "text/text.h"

namespace wharfling::posix {
namespace {

std::optional<std::string> Lookup(const EnvironmentLookup& environment, const char* name) {
  auto value = environment ? environment(name) : ProcessEnvironment(name);
  if (value && value->empty()) return std::nullopt;
  return value;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

bool NoProxyMatches(std::string_view noProxy, std::string_view host) {
  noProxy = Trim(noProxy);
  if (noProxy == "*") return true;
  while (!host.empty() && host.back() == '.') host.remove_suffix(1);
  while (!noProxy.empty()) {
    const std::size_t comma = noProxy.find(',');
    std::string_view entry = Trim(noProxy.substr(0, comma));
    noProxy = comma == std::string_view::npos ? std::string_view() : noProxy.substr(comma + 1);
    if (!entry.empty() && entry.front() == '.') entry.remove_prefix(1);
    if (entry.empty()) continue;
    if (EqualsIgnoreCase(entry, host)) return true;
    if (host.size() > entry.size() && host[host.size() - entry.size() - 1] == '.' &&
        EqualsIgnoreCase(host.substr(host.size() - entry.size()), entry)) {
      return true;
    }
  }
  return false;
}

std::string ChooseSystemProxy(bool secure, std::string_view host, const EnvironmentLookup& environment) {
  std::optional<std::string> noProxy = Lookup(environment, "no_proxy");
  if (!noProxy) noProxy = Lookup(environment, "NO_PROXY");
  if (noProxy && NoProxyMatches(*noProxy, host)) return {};

  std::optional<std::string> proxy;
  if (secure) {
    proxy = Lookup(environment, "https_proxy");
    if (!proxy) proxy = Lookup(environment, "HTTPS_PROXY");
  } else {
    proxy = Lookup(environment, "http_proxy");
  }
  if (!proxy) proxy = Lookup(environment, "all_proxy");
  if (!proxy) proxy = Lookup(environment, "ALL_PROXY");
  return proxy.value_or(std::string());
}

}  // namespace wharfling::posix
