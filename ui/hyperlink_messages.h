#pragma once
// What the hyperlink label says when a link cannot be opened, by the opener's result code.

#include "text/text.h"

namespace wharfling {

// One set of result codes for the openers of every platform; above this the link was opened.
inline constexpr int kOpenLinkSucceededAbove = 32;
// The codes an opener reports when nothing handles links at all, and when a handler that was
// found could not be started.
inline constexpr int kOpenLinkNoAssociation = 31;
inline constexpr int kOpenLinkFileNotFound = 2;

// "Unable to open hyperlink:\n\n" followed by the description of the code.
Text HyperlinkErrorText(int resultCode);

}  // namespace wharfling
