#include "web/chunked_text.h"

#include <algorithm>
#include <cstring>

namespace wharfling {

ChunkedText::ChunkedText(const ChunkList& chunks) {
  pieces_.reserve(chunks.size());
  for (const auto& chunk : chunks) {
    if (chunk.empty()) continue;
    pieces_.push_back({size_, chunk});
    size_ += chunk.size();
  }
}

std::size_t ChunkedText::PieceAt(std::size_t pos) const {
  const auto after =
      std::upper_bound(pieces_.begin(), pieces_.end(), pos,
                       [](std::size_t value, const Piece& piece) { return value < piece.offset; });
  return static_cast<std::size_t>(after - pieces_.begin()) - 1;
}

bool ChunkedText::MatchesAt(std::size_t piece, std::size_t pos, std::string_view needle) const {
  // Slow path for a match that may cross into the following pieces.
  for (const char c : needle) {
    while (pos >= pieces_[piece].offset + pieces_[piece].bytes.size()) ++piece;
    if (pieces_[piece].bytes[pos - pieces_[piece].offset] != c) return false;
    ++pos;
  }
  return true;
}

std::size_t ChunkedText::Find(std::string_view needle, std::size_t from) const {
  if (from > size_) return npos;
  if (needle.empty()) return from;
  if (needle.size() > size_ - from) return npos;
  const std::size_t last = size_ - needle.size();  // the last position a match can start at
  std::size_t pos = from;
  std::size_t piece = PieceAt(pos);
  while (pos <= last) {
    while (pos >= pieces_[piece].offset + pieces_[piece].bytes.size()) ++piece;
    const Piece& current = pieces_[piece];
    const char* bytes = current.bytes.data();
    const std::size_t end = current.bytes.size();
    std::size_t at = pos - current.offset;
    // Fast path: every match that starts here lies inside this piece.
    const std::size_t fastEnd =
        std::min(end >= needle.size() ? end - needle.size() + 1 : 0, last - current.offset + 1);
    while (at < fastEnd) {
      if (bytes[at] == needle.front() && std::memcmp(bytes + at, needle.data(), needle.size()) == 0) {
        return current.offset + at;
      }
      at += IsLeadByte(static_cast<unsigned char>(bytes[at])) ? 2 : 1;
    }
    // Positions near the end of the piece, where a match would continue into the next one.
    while (at < end && current.offset + at <= last) {
      if (MatchesAt(piece, current.offset + at, needle)) return current.offset + at;
      at += IsLeadByte(static_cast<unsigned char>(bytes[at])) ? 2 : 1;
    }
    pos = current.offset + at;  // may be one past the piece when a lead byte ends it
    if (at < end) break;        // past the last possible start
  }
  return npos;
}

std::size_t ChunkedText::FindByte(char byte, std::size_t from) const {
  if (from >= size_) return npos;
  for (std::size_t piece = PieceAt(from); piece < pieces_.size(); ++piece) {
    const Piece& current = pieces_[piece];
    const std::size_t at = current.bytes.find(byte, from > current.offset ? from - current.offset : 0);
    if (at != std::string_view::npos) return current.offset + at;
  }
  return npos;
}

Text ChunkedText::Copy(std::size_t begin, std::size_t end) const {
  Text out;
  if (begin >= end || begin >= size_) return out;
  end = std::min(end, size_);
  out.reserve(end - begin);
  for (std::size_t piece = PieceAt(begin); piece < pieces_.size() && pieces_[piece].offset < end; ++piece) {
    const Piece& current = pieces_[piece];
    const std::size_t from = begin > current.offset ? begin - current.offset : 0;
    const std::size_t to = std::min(end - current.offset, current.bytes.size());
    out.append(current.bytes.substr(from, to - from));
  }
  return out;
}

}  // namespace wharfling
