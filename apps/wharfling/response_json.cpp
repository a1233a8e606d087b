#include "apps/wharfling/response_json.h"

#include "platform/posix/encoding.h"
#include "web/page_tools.h"

namespace wharfling::cli {

nlohmann::json ResponseJson(bool ok, const LastResponse& response) {
  Text headers;
  Text body;
  JoinChunks(response.HeaderBlocks, headers);
  JoinChunks(response.BodyChunks, body);
  nlohmann::json chunks = nlohmann::json::array();
  for (const auto& chunk : response.BodyChunks) chunks.push_back(chunk.size());
  return {{"ok", ok},
          {"headers", posix::Cp932ToUtf8(headers)},
          {"body_chunks", chunks},
          {"body", posix::Cp932ToUtf8(body)}};
}

}  // namespace wharfling::cli
