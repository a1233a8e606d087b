#include "server/engine/listen_socket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace wharfling::server {

std::string HostAndPort(const std::string& host, int port) {
  return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

UniqueFd OpenListenSocket(const std::string& host, int& port, int backlog, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (::getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found) != 0) {
    error = "cannot listen on " + HostAndPort(host, port) + " (no such address)";
    return {};
  }
  UniqueFd sock;
  for (const addrinfo* at = found; at != nullptr && !sock.valid(); at = at->ai_next) {
    UniqueFd candidate(::socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC, at->ai_protocol));
    if (!candidate.valid()) continue;
    int yes = 1;
    ::setsockopt(candidate.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(candidate.get(), at->ai_addr, at->ai_addrlen) == 0 &&
        ::listen(candidate.get(), backlog) == 0) {
      sock = std::move(candidate);
    }
  }
  ::freeaddrinfo(found);
  if (!sock.valid()) {
    error = "cannot listen on " + HostAndPort(host, port) + " (address in use or not available)";
    return {};
  }
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  ::getsockname(sock.get(), reinterpret_cast<sockaddr*>(&bound), &length);
  port = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                           : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  return sock;
}

}  // namespace wharfling::server
