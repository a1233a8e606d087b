#include "server/engine/multipart_reader.h"

#include <algorithm>

#include "text/text.h"

namespace wharfling::server {
namespace {

// Bounds of one part's header block: a form's parts need a few hundred bytes.
constexpr std::size_t kMaxPartHeaderBytes = 8192;
constexpr std::size_t kMaxPartHeaderLines = 16;
constexpr std::size_t kMaxBoundaryBytes = 200;

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The position of `key` ("name=\"") in value where it starts a parameter: at the value's start or
// after a ';' and blanks, so that "filename=" never passes for "name=".
std::size_t FindParameter(std::string_view value, std::string_view key) {
  const std::string lower = LowerCaseText(value);
  for (std::size_t at = lower.find(key); at != std::string::npos; at = lower.find(key, at + 1)) {
    std::size_t before = at;
    while (before > 0 && (value[before - 1] == ' ' || value[before - 1] == '\t')) --before;
    if (before == 0 || value[before - 1] == ';') return at;
  }
  return std::string_view::npos;
}

}  // namespace

std::optional<std::string> MultipartBoundary(std::string_view contentType) {
  if (!StartsWithIgnoreCase(TrimBlanks(contentType), "multipart/")) return std::nullopt;
  const std::size_t at = FindParameter(contentType, "boundary=");
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view value = contentType.substr(at + 9);
  if (!value.empty() && value.front() == '"') {
    value.remove_prefix(1);
    value = value.substr(0, value.find('"'));
  } else {
    value = TrimBlanks(value.substr(0, value.find(';')));
  }
  if (value.empty() || value.size() > kMaxBoundaryBytes) return std::nullopt;
  return std::string(value);
}

PartName ParseContentDisposition(std::string_view value) {
  PartName part;
  value = TrimBlanks(value);
  if (!StartsWithIgnoreCase(value, "form-data")) return part;
  if (const std::size_t at = FindParameter(value, "name=\""); at != std::string_view::npos) {
    const std::size_t start = at + 6;
    const std::size_t end = value.find('"', start);
    if (end != std::string_view::npos) part.name = std::string(value.substr(start, end - start));
  }
  if (const std::size_t at = FindParameter(value, "filename=\""); at != std::string_view::npos) {
    const std::size_t start = at + 10;
    const std::size_t end = value.rfind('"');
    if (end != std::string_view::npos && end >= start)
      part.fileName = std::string(value.substr(start, end - start));
  }
  return part;
}

MultipartReader::MultipartReader(std::string_view boundary, PartBegins begins, PartBytes bytes)
    : delimiter_("\r\n--" + std::string(boundary)),
      begins_(std::move(begins)),
      bytes_(std::move(bytes)),
      // The first delimiter may open the body: read as if a line ended just before it.
      buffer_("\r\n") {}

bool MultipartReader::Fail() {
  state_ = State::kFailed;
  buffer_.clear();
  return false;
}

bool MultipartReader::Feed(const char* data, std::size_t size) {
  if (state_ == State::kFailed) return false;
  if (state_ == State::kEpilogue) return true;  // read past, kept nowhere
  buffer_.append(data, size);
  bool progressed = true;
  while (progressed) {
    progressed = false;
    if (!Step(progressed)) return false;
  }
  return true;
}

// One step of the state machine over the buffered bytes; `progressed` when it consumed some.
bool MultipartReader::Step(bool& progressed) {
  switch (state_) {
    case State::kPreamble: {
      const std::size_t at = buffer_.find(delimiter_);
      if (at == std::string::npos) {
        // Only a tail that may begin the delimiter is worth keeping.
        if (buffer_.size() >= delimiter_.size()) buffer_.erase(0, buffer_.size() - delimiter_.size() + 1);
        return true;
      }
      buffer_.erase(0, at + delimiter_.size());
      state_ = State::kAfterDelimiter;
      progressed = true;
      return true;
    }
    case State::kAfterDelimiter: {
      // "--" closes the body; otherwise blanks may pad the line before its CRLF.
      std::size_t at = 0;
      if (buffer_.size() >= 2 && buffer_.compare(0, 2, "--") == 0) {
        state_ = State::kEpilogue;
        buffer_.clear();
        return true;
      }
      while (at < buffer_.size() && (buffer_[at] == ' ' || buffer_[at] == '\t')) ++at;
      if (at > 64) return Fail();
      if (buffer_.size() < at + 2) return true;
      if (buffer_.compare(at, 2, "\r\n") != 0) return Fail();
      buffer_.erase(0, at + 2);
      state_ = State::kHeaders;
      headerLines_ = 0;
      part_ = {};
      progressed = true;
      return true;
    }
    case State::kHeaders: {
      const std::size_t end = buffer_.find("\r\n");
      if (end == std::string::npos) return buffer_.size() <= kMaxPartHeaderBytes || Fail();
      if (end == 0) {
        buffer_.erase(0, 2);
        state_ = State::kBody;
        progressed = true;
        return begins_(part_.name, part_.fileName) || Fail();
      }
      if (++headerLines_ > kMaxPartHeaderLines || end > kMaxPartHeaderBytes) return Fail();
      const std::string_view line(buffer_.data(), end);
      const std::size_t colon = line.find(':');
      if (colon != std::string_view::npos &&
          EqualsIgnoreCase(TrimBlanks(line.substr(0, colon)), "Content-Disposition")) {
        part_ = ParseContentDisposition(line.substr(colon + 1));
      }
      buffer_.erase(0, end + 2);
      progressed = true;
      return true;
    }
    case State::kBody: {
      const std::size_t at = buffer_.find(delimiter_);
      // Without a delimiter, all but a tail that may begin one is the part's.
      const std::size_t take = at != std::string::npos               ? at
                               : buffer_.size() >= delimiter_.size() ? buffer_.size() - delimiter_.size() + 1
                                                                     : 0;
      if (take > 0 && !bytes_(buffer_.data(), take)) return Fail();
      if (at == std::string::npos) {
        buffer_.erase(0, take);
        return true;
      }
      buffer_.erase(0, at + delimiter_.size());
      state_ = State::kAfterDelimiter;
      progressed = true;
      return true;
    }
    case State::kEpilogue:
    case State::kFailed:
      return state_ != State::kFailed;
  }
  return false;
}

}  // namespace wharfling::server
