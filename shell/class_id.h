#pragma once
// The drop handler's class id, fixed once for the product. Its text form names the class key, the
// drop-handler value, the file type's class and the approval value.

#include <windows.h>

namespace wharfling::shell {

inline constexpr CLSID kDropHandlerClassId = {
    0x6f1d3a52, 0x8c4b, 0x4e27, {0x9a, 0x1f, 0x2b, 0x7c, 0x5d, 0x0e, 0x9f, 0x43}};
inline constexpr const char* kDropHandlerClassIdText = "{6F1D3A52-8C4B-4E27-9A1F-2B7C5D0E9F43}";

}  // namespace wharfling::shell
