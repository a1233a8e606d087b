#pragma once
// How a received body becomes the chunk list the drivers read, the same from every transport.

#include <cstddef>
#include <string_view>

#include "web/last_response.h"

namespace wharfling {

inline constexpr std::size_t kBodyReadSize = 10240;

// Splits body into reads of kBodyReadSize bytes (the last one shorter) and keeps of each read only
// the bytes before its first zero byte, as a read taken as text does. An empty body gives no chunk.
ChunkList SplitIntoReads(std::string_view body);

}  // namespace wharfling
