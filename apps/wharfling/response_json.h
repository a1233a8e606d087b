#pragma once
// The JSON object the exchange and send-upload commands print for a response.

#include <cstdio>
#include <string_view>

#include "web/last_response.h"

namespace wharfling::cli {

// Writes {"body": page text, "body_chunks": [chunk sizes], "error": why (only when not ok),
// "headers": header text, "ok": ok, "version"} and a line break to out, laid out as every command's
// JSON is (json_output.h). Texts are shown in UTF-8 where they convert
// from CP932 and escaped as \xNN where they do not. The texts are written piece by piece: a page of
// tens of megabytes is never copied whole on its way out.
void WriteResponseJson(std::FILE* out, bool ok, std::string_view error, const LastResponse& response);

}  // namespace wharfling::cli
