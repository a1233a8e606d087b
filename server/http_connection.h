#pragma once
// cpp-httplib's server with connections run by this server: a handler that answers before reading
// the whole request body (a refusal, a broken body) gets its answer delivered and the connection
// closed, instead of the unread rest of the body being taken for the next request.

#include <httplib.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "server/connection_limits.h"

namespace wharfling::server {

class ConnectionServer : public httplib::Server {
 public:
  explicit ConnectionServer(ConnectionLimits limits);
  ~ConnectionServer() override;

  // Marks the connection of the request handled on this thread to be closed after the answer.
  // Handlers call it whenever they leave part of the request body unread; brief: the client has no
  // session, so what it still sends is drained for a moment only.
  static void CloseAfterResponse(bool brief = false);
  // The request's head has been read (its handlers run): the head's bounds end, the body's begin.
  static void HeadRead();
  // The most raw body bytes the request under way may bring, below the limits' own bound: each page
  // knows what its body can need. Only ever lowers the bound.
  static void CapBody(std::uint64_t bytes);
  // Stops accepting and gives the requests under way the stop grace of the limits; past it, every
  // read and write of theirs fails, so that an upload in progress ends (and leaves no file).
  void StopWithinGrace();
  // Lets more connections wait for a thread than cpp-httplib's fixed listen backlog allows.
  void WidenBacklog(int backlog);

 protected:
  bool process_and_close_socket(socket_t sock) override;

 private:
  class AddressCount;

  bool WaitForRequest(socket_t sock, bool buffered) const;
  void Linger(socket_t sock, bool brief) const;

  const ConnectionLimits limits_;
  std::unique_ptr<AddressCount> open_;
  // When requests under way are cut off, as steady-clock ticks; zero while the server runs.
  std::atomic<std::int64_t> cutOff_{0};
};

}  // namespace wharfling::server
