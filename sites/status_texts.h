#pragma once

#include "text/text.h"
#include "wharfling/texts.h"

namespace wharfling {

inline Text StatusSuccess() { return Text(texts::kStatusSuccess); }
inline Text StatusFailed() { return Text(texts::kStatusFailed); }
// "---失敗---[reason]"
inline Text StatusFailedWithReason(const Text& reason) {
  return Text(texts::kStatusFailed) + "[" + reason + "]";
}

}  // namespace wharfling
