#include "web/response_chunks.h"

namespace wharfling {

ChunkList SplitIntoReads(std::string_view body) {
  ChunkList chunks;
  chunks.reserve(body.size() / kBodyReadSize + 1);
  while (!body.empty()) {
    const std::string_view read = body.substr(0, kBodyReadSize);
    chunks.emplace_back(read.substr(0, read.find('\0')));
    body.remove_prefix(read.size());
  }
  return chunks;
}

}  // namespace wharfling
