#include "web/page_tools.h"

#include <climits>

#include "web/chunked_text.h"

namespace wharfling {
namespace {

constexpr std::string_view kMessageMarker = "-msg\">";

Text Joined(const ChunkList& chunks) {
  Text text;
  JoinChunks(chunks, text);
  return text;
}

// out becomes text[from, first stop) when a stop byte follows; stop bytes are ASCII below 0x40, which
// never occur as the second byte of a double-byte character, so a plain byte search is exact.
void CopyUpTo(std::string_view text, std::size_t from, char stop, Text& out) {
  if (from > text.size()) return;
  const std::size_t end = text.find(stop, from);
  if (end != std::string_view::npos) out.assign(text.substr(from, end - from));
}

// True when reading marker's bytes as characters ends exactly at its end, so that the text right after
// an occurrence begins on a character boundary of any reading that found the occurrence.
bool EndsOnCharacterBoundary(std::string_view marker) {
  std::size_t pos = 0;
  while (pos < marker.size()) pos += IsLeadByte(static_cast<unsigned char>(marker[pos])) ? 2 : 1;
  return pos == marker.size();
}

}  // namespace

void JoinChunks(const ChunkList& chunks, Text& out) {
  std::size_t size = 0;
  for (const auto& chunk : chunks) size += chunk.size();
  Text joined;
  joined.reserve(size);
  for (const auto& chunk : chunks) joined += chunk;
  out = std::move(joined);
}

// Pages are searched in their reads, never joined: a page may be tens of megabytes.
bool PageContains(const ChunkList& chunks, std::string_view marker) {
  return ChunkedText(chunks).Find(marker, 0) != ChunkedText::npos;
}

bool ExtractBetween(const ChunkList& chunks, std::string_view marker, char stop, Text& out) {
  const ChunkedText text(chunks);
  const std::size_t found = text.Find(marker, 0);
  if (found == ChunkedText::npos) return false;
  const std::size_t from = found + marker.size();
  const std::size_t end = text.FindByte(stop, from);
  if (end != ChunkedText::npos) out = text.Copy(from, end);
  return true;
}

bool ExtractMessage(const ChunkList& chunks, Text& out) {
  return ExtractBetween(chunks, kMessageMarker, '<', out);
}

bool ExtractRedirect(const ChunkList& headers, Text& out) {
  const Text text = Joined(headers);
  std::string_view marker = "Location:";
  std::size_t found = FindText(text, marker);
  if (found == std::string_view::npos) {
    marker = "location:";
    found = FindText(text, marker);
  }
  if (found == std::string_view::npos) return false;
  CopyUpTo(text, found + marker.size() + 1, '\r', out);
  return true;
}

bool FinalStatusIs200Ok(const ChunkList& headers) {
  const Text text = Joined(headers);
  const std::string_view view(text);
  // A status line opens the text or follows the empty line that ends an earlier (interim) response.
  std::string_view status;
  bool opensBlock = true;
  for (std::size_t at = 0; at < view.size();) {
    std::size_t end = view.find('\n', at);
    if (end == std::string_view::npos) end = view.size();
    std::string_view line = view.substr(at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (opensBlock && line.starts_with("HTTP/")) status = line;
    opensBlock = line.empty();
    at = end + 1;
  }
  const std::size_t blank = status.find(' ');
  return blank != std::string_view::npos && status.substr(blank + 1).starts_with("200 OK");
}

int ExtractPair(const ChunkList& chunks, std::string_view start, std::string_view middle, int maxGap,
                std::string_view end, Text& out1, Text& out2, int from) {
  const ChunkedText text(chunks);
  // W, the text still to search, is text[w, size); every search reads characters from w on.
  std::size_t w = from > 0 ? static_cast<std::size_t>(from) : 0;
  if (w > text.size()) return -1;

  // The first occurrence of middle at or after the last place it was searched from. When start ends on
  // a character boundary, every later W is read with the same character boundaries, so an occurrence
  // found from an earlier W is still the first one of a later W that begins before it.
  const bool reuseMiddle = EndsOnCharacterBoundary(start);
  std::size_t middleAt = ChunkedText::npos;
  bool middleKnown = false;

  for (;;) {
    const std::size_t startAt = text.Find(start, w);
    if (startAt == ChunkedText::npos) return -1;
    w = startAt + start.size();
    if (!reuseMiddle || !middleKnown || middleAt < w) {
      middleAt = text.Find(middle, w);
      middleKnown = true;
    }
    if (middleAt == ChunkedText::npos) return -1;
    const std::size_t gap = middleAt - w;
    if (maxGap < 0 || gap > static_cast<std::size_t>(maxGap)) {
      // An empty start marker matches again at the same place: no later occurrence can qualify.
      if (start.empty()) return -1;
      continue;
    }
    out1 = text.Copy(w, middleAt);
    const std::size_t endAt = text.Find(end, w);
    if (endAt == ChunkedText::npos) return -2;
    const std::size_t middleEnd = middleAt + middle.size();
    out2 = endAt >= middleEnd ? text.Copy(middleEnd, endAt) : Text();
    const std::size_t next = endAt + end.size();
    return next > static_cast<std::size_t>(INT_MAX) ? -1 : static_cast<int>(next);
  }
}

}  // namespace wharfling
