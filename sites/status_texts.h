#pragma once

#include "text/text.h"
#include "wharfling/texts.h"

namespace wharfling {

// A row no run has handled yet.
inline constexpr std::string_view kStatusNotHandled = "--";
inline Text StatusSuccess() { return Text(texts::kStatusSuccess); }
inline Text StatusFailed() { return Text(texts::kStatusFailed); }
// "---失敗---[reason]"
inline Text StatusFailedWithReason(const Text& reason) {
  return Text(texts::kStatusFailed) + "[" + reason + "]";
}

}  // namespace wharfling
