#pragma once
// multipart/form-data bodies with the one fixed boundary every upload uses. Part headers and text
// parts are staged as short texts and moved into the body in blocks, so the body is never re-copied
// as it grows; the body is sized to what it holds.

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace wharfling {

inline constexpr std::string_view kBoundaryToken = "7d432817150952";
// Every delimiter line: two dashes more than the boundary named in the Content-Type line.
inline constexpr std::string_view kDashPrefix = "-----------------------------";
inline constexpr std::string_view kMultipartContentTypeLine =
    "Content-Type: multipart/form-data; boundary=---------------------------7d432817150952\r\n";
inline constexpr std::string_view kClosingLine = "-----------------------------7d432817150952--\r\n";

class MultipartBody {
 public:
  // Stages one text part: delimiter, disposition, empty line, value, CRLF.
  void AddTextPart(std::string_view name, std::string_view value);
  // Stages the header of a file part with the type application/octet-stream.
  void AddFilePart(std::string_view name, std::string_view fileName);
  // Stages the header of a file part with the given type.
  void AddTypedFilePart(std::string_view name, std::string_view fileName, std::string_view contentType);
  // Moves the staged text into the body. Where flushes fall changes nothing in the bytes produced.
  void FlushPart();
  // Flushes, then appends a file part's content and the CRLF that ends it, byte for byte.
  void AddFileContent(std::string_view bytes);
  // As above for content written straight into its place in the body: fill gets the size bytes kept
  // for it. False, with the body cut back to where it was, when fill fails.
  bool AddFileContent(std::size_t size, const std::function<bool(std::span<char>)>& fill);
  // Flushes, then appends the closing line.
  void Close();

  // Makes room for this many more body bytes at once, so a large file is not copied twice.
  void Reserve(std::size_t additional);

  // The body so far (staged text not included).
  const std::string& bytes() const { return body_; }
  std::size_t length() const { return body_.size(); }
  // Text staged since the last flush.
  std::string_view staged() const { return partBuffer_; }

 private:
  void AddDelimiterAndName(std::string_view name);

  std::string body_;
  std::string partBuffer_;
};

}  // namespace wharfling
