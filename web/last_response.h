#pragma once
// The latest response of a page request or upload, kept as the reads and the header block came in.

#include <vector>

#include "text/text.h"

namespace wharfling {

using ChunkList = std::vector<Text>;

struct LastResponse {
  // One element per read of at most 10,240 bytes, each ending at the first zero byte of its read.
  ChunkList BodyChunks;
  // The final response's status line and header lines, each ending in CRLF.
  ChunkList HeaderBlocks;
};

}  // namespace wharfling
