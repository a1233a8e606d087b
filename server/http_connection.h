#pragma once
// cpp-httplib's server with connections run by this server: a handler that answers before reading
// the whole request body (a refusal, a broken body) gets its answer delivered and the connection
// closed, instead of the unread rest of the body being taken for the next request.

#include <httplib.h>

#include <cstddef>

#include "server/connection_limits.h"

namespace wharfling::server {

class ConnectionServer : public httplib::Server {
 public:
  ConnectionServer(ConnectionLimits limits, std::size_t threads);

  // Marks the connection of the request handled on this thread to be closed after the answer.
  // Handlers call it whenever they leave part of the request body unread.
  static void CloseAfterResponse();
  // Lets more connections wait for a thread than cpp-httplib's fixed listen backlog allows.
  void WidenBacklog(int backlog);

 protected:
  bool process_and_close_socket(socket_t sock) override;

 private:
  bool WaitForRequest(socket_t sock, bool buffered) const;
  void Linger(socket_t sock) const;

  const ConnectionLimits limits_;
};

}  // namespace wharfling::server
