#pragma once
// Decoding and re-encoding JPEGs with libvips.

#include <memory>
#include <string>
#include <string_view>

#include "photo/photo_preparer.h"

namespace wharfling::posix {

// Starts libvips once for the whole program; later calls do nothing. False when it cannot start.
bool StartVips();

// The photo decoded into memory once; nothing, with why, when bytes are no JPEG libvips can decode.
std::unique_ptr<DecodedPhoto> DecodeJpegWithVips(std::string_view bytes, std::string& why);

}  // namespace wharfling::posix
