#pragma once
// A chunk list read as one text without joining it: searches and copies run over the chunks in
// place, so walking a long page with repeated searches costs time in proportion to what is walked.

#include <cstddef>
#include <string_view>
#include <vector>

#include "web/last_response.h"

namespace wharfling {

class ChunkedText {
 public:
  static constexpr std::size_t npos = std::string_view::npos;

  // Keeps views of the list's elements: the list must outlive this object and stay unchanged.
  explicit ChunkedText(const ChunkList& chunks);

  std::size_t size() const { return size_; }

  // What FindText(joined.substr(from), needle) + from gives on the joined text: the first occurrence
  // at or after from, reading double-byte characters from from on; npos when there is none.
  std::size_t Find(std::string_view needle, std::size_t from) const;

  // The first byte equal to byte at or after from, read as bytes (not characters); npos when none.
  std::size_t FindByte(char byte, std::size_t from) const;

  // The joined text's bytes [begin, end).
  Text Copy(std::size_t begin, std::size_t end) const;

 private:
  struct Piece {
    std::size_t offset;
    std::string_view bytes;
  };
  // Index of the piece that holds byte pos (pos < size_).
  std::size_t PieceAt(std::size_t pos) const;
  bool MatchesAt(std::size_t piece, std::size_t pos, std::string_view needle) const;

  std::vector<Piece> pieces_;
  std::size_t size_ = 0;
};

}  // namespace wharfling
