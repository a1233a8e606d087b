#pragma once
// The JSON object the exchange and send-upload commands print for a response.

#include <nlohmann/json.hpp>

#include "web/last_response.h"

namespace wharfling::cli {

// {"ok": ok, "headers": header text, "body_chunks": [chunk sizes], "body": page text}, texts shown
// in UTF-8 where they convert from CP932 and escaped as \xNN where they do not.
nlohmann::json ResponseJson(bool ok, const LastResponse& response);

}  // namespace wharfling::cli
