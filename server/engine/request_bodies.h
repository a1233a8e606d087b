#pragma once
// The two kinds of request body the pages take: a small form read whole, and a multipart form whose
// parts stream on as they arrive.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "server/engine/http_exchange.h"
#include "server/engine/multipart_reader.h"

namespace wharfling::server {

// Read whole up to `limit` bytes; `done` gets the body, or nothing when it did not arrive whole
// within the limit.
class SmallBody final : public RequestBody {
 public:
  using Done = std::function<void(std::optional<std::string> body)>;
  SmallBody(std::size_t limit, Done done) : limit_(limit), done_(std::move(done)) {}

  bool Append(const char* data, std::size_t size) override;
  void Finish(bool complete) override;

 private:
  const std::size_t limit_;
  Done done_;
  std::string body_;
  bool over_ = false;
};

// A multipart/form-data body handed on part by part; `done` learns whether it arrived whole, its
// closing delimiter included.
class MultipartBody final : public RequestBody {
 public:
  using Done = std::function<void(bool complete)>;
  MultipartBody(std::string_view boundary, MultipartReader::PartBegins begins,
                MultipartReader::PartBytes bytes, Done done)
      : reader_(boundary, std::move(begins), std::move(bytes)), done_(std::move(done)) {}

  bool Append(const char* data, std::size_t size) override { return reader_.Feed(data, size); }
  void Finish(bool complete) override { done_(complete && reader_.complete()); }

 private:
  MultipartReader reader_;
  Done done_;
};

}  // namespace wharfling::server
