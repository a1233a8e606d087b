#pragma once
// Port: how a native path becomes text. On Windows paths are already in the system code page;
// elsewhere the adapter converts them (UTF-8 to CP932 on Linux).

#include <string_view>

#include "text/text.h"

namespace wharfling {

class TextCodec {
 public:
  virtual ~TextCodec() = default;
  // The path as CP932 text; what CP932 cannot hold becomes its closest equivalent or "?".
  virtual Text PathToText(std::string_view nativePath) const = 0;
};

// For platforms whose native paths are already system-code-page text.
class IdentityTextCodec final : public TextCodec {
 public:
  Text PathToText(std::string_view nativePath) const override { return Text(nativePath); }
};

}  // namespace wharfling
