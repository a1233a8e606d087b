#pragma once
// Writes 24-bit RGB pixels as a PNG file (uncompressed deflate blocks: the screenshots are small).

#include <cstdint>
#include <string>
#include <vector>

namespace wharfling::probe {

// rgb: height rows of width pixels, top row first, three bytes a pixel.
bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace wharfling::probe
