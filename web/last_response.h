#pragma once
// PLACEHOLDER until the web layer lands
#include <vector>
#include "text/text.h"
namespace wharfling {
using ChunkList = std::vector<Text>;
struct LastResponse {
  ChunkList BodyChunks;
  ChunkList HeaderBlocks;
};
}  // namespace wharfling
