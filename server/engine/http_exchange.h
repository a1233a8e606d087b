#pragma once
// One request and its answer as the server's pages see them, whatever library carries them: the
// head of the request, the answer being made, and what takes the request's body as it arrives.

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/base/unique_fd.h"

namespace wharfling::server {

using Fields = std::vector<std::pair<std::string, std::string>>;

// The value of the first field named `name`, ignoring case.
std::optional<std::string_view> FindField(const Fields& fields, std::string_view name);

struct HttpRequest {
  std::string method;         // as sent: "GET", "POST"
  std::string path;           // percent-decoded, without the query
  Fields headers;             // in the order sent
  Fields query;               // decoded
  std::string clientAddress;  // "127.0.0.1", "::1"
  int clientPort = 0;
  bool forwarded = false;  // clientAddress is the trusted proxy's X-Forwarded-For, clientPort the proxy's
  bool secure = false;     // arrived over TLS

  std::string Header(std::string_view name) const;  // "" when absent
  bool HasHeader(std::string_view name) const { return FindField(headers, name).has_value(); }
  std::string Param(std::string_view name) const;  // "" when absent
  // The request announces a body (a length other than 0, or chunks).
  bool HasBody() const;
  bool IsMultipart() const;
};

struct HttpResponse {
  int status = 200;
  Fields headers;
  std::string body;
  // When valid, the body is this file's first fileSize bytes instead.
  UniqueFd file;
  std::uint64_t fileSize = 0;
  // The connection ends after this answer.
  bool close = false;
  // Whatever the client still sends after an early answer is drained only for a moment: it has no
  // session and is owed no more.
  bool drainBriefly = false;

  // Replaces any earlier value of the header.
  void SetHeader(std::string_view name, std::string value);
  std::string Header(std::string_view name) const;
  void SetContent(std::string content, std::string_view type);
  void SetFile(UniqueFd fd, std::uint64_t size, std::string_view type);
};

// One request under way: its head, its answer and the words its log line ends with.
struct Exchange {
  HttpRequest request;
  HttpResponse response;
  std::string outcome;
  // The most raw body bytes the request may bring; past them the connection is dropped.
  std::uint64_t bodyCap = std::numeric_limits<std::uint64_t>::max();
};

// Takes a request's body as it arrives, then completes the exchange's answer.
class RequestBody {
 public:
  virtual ~RequestBody() = default;
  // False: no more is wanted; the answer goes out now and the connection ends after it.
  virtual bool Append(const char* data, std::size_t size) = 0;
  // The body has ended; `complete` says whether it arrived whole.
  virtual void Finish(bool complete) = 0;
};

class HttpHandler {
 public:
  virtual ~HttpHandler() = default;
  // The request's head has been read. Either the answer is complete (null is returned), or the
  // returned object takes the body and completes it; it may keep a reference to `exchange`.
  virtual std::unique_ptr<RequestBody> Begin(Exchange& exchange) = 0;
  // The exchange is over: answered, or cut off with its connection. For its log line.
  virtual void Completed(const Exchange& exchange) = 0;
};

}  // namespace wharfling::server
