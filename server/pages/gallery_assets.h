#pragma once
// The fixed files the browser pages use: their stylesheet and the tile shown for a file that is
// no picture.

#include <string_view>

namespace wharfling::server {

std::string_view GalleryStylesheet();
// An SVG, the same size as a thumbnail's square.
std::string_view NeutralTileSvg();

}  // namespace wharfling::server
