#pragma once
// Reads a multipart/form-data body as it streams in: each part's field name and file name, then its
// bytes, handed on in pieces, so that no part is ever held whole. Whatever follows the closing
// delimiter is read past and kept nowhere.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace wharfling::server {

// The boundary named by a Content-Type value ("multipart/form-data; boundary=..."), quoted or not.
std::optional<std::string> MultipartBoundary(std::string_view contentType);

// The field name and file name of a part's Content-Disposition value. The file name runs to the
// last quote of the value, as browsers write it without escaping (a CP932 name keeps its 5C bytes).
struct PartName {
  std::string name;
  std::string fileName;
};
PartName ParseContentDisposition(std::string_view value);

class MultipartReader {
 public:
  // Each callback returns false to stop reading the body.
  using PartBegins = std::function<bool(std::string_view name, std::string_view fileName)>;
  using PartBytes = std::function<bool(const char* data, std::size_t size)>;

  MultipartReader(std::string_view boundary, PartBegins begins, PartBytes bytes);

  // False once the body is malformed or a callback stopped it; nothing more is read then.
  bool Feed(const char* data, std::size_t size);
  // The closing delimiter has been read.
  bool complete() const { return state_ == State::kEpilogue; }

 private:
  enum class State { kPreamble, kAfterDelimiter, kHeaders, kBody, kEpilogue, kFailed };

  bool Step(bool& progressed);
  bool Fail();

  const std::string delimiter_;  // CRLF "--" boundary
  PartBegins begins_;
  PartBytes bytes_;
  State state_ = State::kPreamble;
  std::string buffer_;
  std::size_t headerLines_ = 0;
  PartName part_;
};

}  // namespace wharfling::server
