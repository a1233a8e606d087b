#pragma once
// Escaping of typed credentials. Values scraped from pages are inserted as they are.

#include <string_view>

#include "text/text.h"

namespace wharfling {

// For a form body: %, &, +, =, ;, #, space, bytes below 0x20 and 0x7F become %XX (upper-case hex);
// every other byte, CP932 included, stays as typed.
Text FormEscape(std::string_view value);

// For a URL query: the exchange decodes percent-escapes once before sending, so the form-escaped
// value has its own % escaped again and reaches the server form-escaped exactly once.
Text QueryEscape(std::string_view value);

}  // namespace wharfling
