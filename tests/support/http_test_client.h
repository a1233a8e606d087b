#pragma once
// A small HTTP client for the server tests, on libcurl: one connection kept alive across requests,
// redirects not followed, the answer's head and body as they came. With a CA file it speaks https.

#include <curl/curl.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wharfling::testing {

using TestHeaders = std::vector<std::pair<std::string, std::string>>;

struct TestResponse {
  int status = 0;
  std::string headerBlock;  // the final answer's status line and header lines
  std::string body;

  // The first value of the header, ignoring the case of its name; "" when absent.
  std::string Header(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
};

class HttpTestClient {
 public:
  // To 127.0.0.1:port; over https, trusting caFile, when one is given.
  explicit HttpTestClient(int port, std::string caFile = {});
  ~HttpTestClient();
  HttpTestClient(const HttpTestClient&) = delete;
  HttpTestClient& operator=(const HttpTestClient&) = delete;

  std::optional<TestResponse> Get(const std::string& path, const TestHeaders& headers = {});
  std::optional<TestResponse> Post(const std::string& path, const std::string& body, const std::string& type);
  std::optional<TestResponse> Post(const std::string& path, const TestHeaders& headers,
                                   const std::string& body, const std::string& type);
  std::optional<TestResponse> Send(const std::string& method, const std::string& path,
                                   const TestHeaders& headers, const std::string* body,
                                   const std::string& type);
  // Why the last request got no answer.
  const std::string& error() const { return error_; }

 private:
  CURL* curl_;
  std::string base_;
  std::string caFile_;
  std::string error_;
};

}  // namespace wharfling::testing
