#pragma once
// The server's listening socket, made here rather than by the engine so that a port in use is an
// error (no SO_REUSEPORT sharing) and port 0 tells the port it got.

#include <string>

#include "server/base/unique_fd.h"

namespace wharfling::server {

// Binds host:port (a name, an IPv4 or an IPv6 address) and listens; invalid, with error, when it
// cannot. `port` receives the bound port.
UniqueFd OpenListenSocket(const std::string& host, int& port, int backlog, std::string& error);

// "127.0.0.1:8780", "[::1]:8780".
std::string HostAndPort(const std::string& host, int port);

}  // namespace wharfling::server
