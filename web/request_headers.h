#pragma once
// The header lines of one request, each added with add-or-replace semantics.

#include <string>
#include <string_view>
#include <vector>

namespace wharfling {

class RequestHeaders {
 public:
  // Adds every line of text. Lines are separated by CRLF, CR or LF, so a text cannot smuggle a second
  // header past the name check below; a trailing CRLF is optional. For each line:
  // - a line without a colon, with an empty name or a name holding a blank or control byte is skipped;
  // - a line whose name (ignoring case) is already present replaces it: the old line is dropped and
  //   the new one goes last;
  // - a line with an empty value only removes the line of that name.
  void Add(std::string_view text);

  bool Has(std::string_view name) const;
  // "Name: value" lines without CRLF, in sending order.
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  void AddLine(std::string_view line);
  std::vector<std::string> lines_;
};

// The name of a header line (the bytes before its colon), or empty when the line has none.
std::string_view HeaderName(std::string_view line);

}  // namespace wharfling
