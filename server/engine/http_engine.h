#pragma once
// The HTTP engine: libmicrohttpd runs the connections (a thread each), with the connection limits
// as its options where it has them (connections in all and per address, memory per connection,
// silence, a stop that stops accepting first), over TLS when given a certificate. What it lacks
// is here: the deadline for a whole request head, the bound and minimum rate of a body, the
// reading and dropping of a body left unread, the grace of a stop. Requests go to one HttpHandler.

#include <functional>
#include <memory>
#include <string>

#include "server/engine/connection_limits.h"
#include "server/engine/http_exchange.h"
#include "server/engine/tls_certificate.h"

namespace wharfling::server {

class HttpEngine {
 public:
  HttpEngine(const ConnectionLimits& limits, HttpHandler& handler);
  ~HttpEngine();
  HttpEngine(const HttpEngine&) = delete;
  HttpEngine& operator=(const HttpEngine&) = delete;

  // Listens on host:port (0: any free port) and serves until Stop(); https only when `tls` is
  // given (it must outlive the engine).
  bool Start(const std::string& host, int port, TlsCertificate* tls, std::string& error);
  // The bound port; -1 before Start().
  int port() const;
  // Stops accepting, lets the requests under way end within the stop grace (past it their
  // connections are cut: an upload cut off leaves no file), and returns when all have ended.
  // `atCutOff` runs when the grace has passed, before the connections are cut: it ends whatever
  // work of the handlers would keep them.
  void Stop(const std::function<void()>& atCutOff = {});

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace wharfling::server
