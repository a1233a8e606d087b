#include "tests/support/http_test_client.h"

#include "text/text.h"

namespace wharfling::testing {
namespace {

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

// Each answer's head replaces the one before (a "100 Continue" comes before the real one).
std::size_t CollectHeader(char* data, std::size_t size, std::size_t count, void* out) {
  auto& block = *static_cast<std::string*>(out);
  const std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) block.clear();
  block.append(line);
  return size * count;
}

}  // namespace

std::string TestResponse::Header(std::string_view name) const {
  std::size_t at = headerBlock.find("\r\n");
  while (at != std::string::npos && at + 2 < headerBlock.size()) {
    const std::size_t start = at + 2;
    const std::size_t end = headerBlock.find("\r\n", start);
    const std::string_view line(headerBlock.data() + start,
                                (end == std::string::npos ? headerBlock.size() : end) - start);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && EqualsIgnoreCase(line.substr(0, colon), name)) {
      std::string_view value = line.substr(colon + 1);
      while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
      return std::string(value);
    }
    at = end;
  }
  return {};
}

bool TestResponse::HasHeader(std::string_view name) const {
  const std::string lower = LowerCaseText(headerBlock);
  return lower.find("\r\n" + LowerCaseText(name) + ":") != std::string::npos;
}

HttpTestClient::HttpTestClient(int port, std::string caFile)
    : curl_(curl_easy_init()),
      base_(std::string(caFile.empty() ? "http" : "https") + "://127.0.0.1:" + std::to_string(port)),
      caFile_(std::move(caFile)) {}

HttpTestClient::~HttpTestClient() { curl_easy_cleanup(curl_); }

std::optional<TestResponse> HttpTestClient::Get(const std::string& path, const TestHeaders& headers) {
  return Send("GET", path, headers, nullptr, {});
}

std::optional<TestResponse> HttpTestClient::Post(const std::string& path, const std::string& body,
                                                 const std::string& type) {
  return Send("POST", path, {}, &body, type);
}

std::optional<TestResponse> HttpTestClient::Post(const std::string& path, const TestHeaders& headers,
                                                 const std::string& body, const std::string& type) {
  return Send("POST", path, headers, &body, type);
}

std::optional<TestResponse> HttpTestClient::Send(const std::string& method, const std::string& path,
                                                 const TestHeaders& headers, const std::string* body,
                                                 const std::string& type) {
  curl_easy_reset(curl_);
  TestResponse response;
  const std::string url = base_ + path;
  curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl_, CURLOPT_TIMEOUT, 30L);
  curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &response.body);
  curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, CollectHeader);
  curl_easy_setopt(curl_, CURLOPT_HEADERDATA, &response.headerBlock);
  if (!caFile_.empty()) curl_easy_setopt(curl_, CURLOPT_CAINFO, caFile_.c_str());
  curl_slist* lines = nullptr;
  // The body goes at once, as browsers send it, without waiting for "100 Continue".
  lines = curl_slist_append(lines, "Expect:");
  for (const auto& [name, value] : headers) lines = curl_slist_append(lines, (name + ": " + value).c_str());
  if (body != nullptr) {
    lines = curl_slist_append(lines, ("Content-Type: " + type).c_str());
    curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, body->data());
    curl_easy_setopt(curl_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
  }
  if (method != "GET" && method != "POST") curl_easy_setopt(curl_, CURLOPT_CUSTOMREQUEST, method.c_str());
  curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, lines);
  const CURLcode code = curl_easy_perform(curl_);
  curl_slist_free_all(lines);
  if (code != CURLE_OK) {
    error_ = curl_easy_strerror(code);
    return std::nullopt;
  }
  long status = 0;
  curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &status);
  response.status = static_cast<int>(status);
  return response;
}

}  // namespace wharfling::testing
