#include "apps/wharfling/response_json.h"

#include <nlohmann/json.hpp>

#include "platform/posix/encoding.h"
#include "web/page_tools.h"

namespace wharfling::cli {

std::string ResponseJson(bool ok, const LastResponse& response) {
  Text headers;
  Text body;
  JoinChunks(response.HeaderBlocks, headers);
  JoinChunks(response.BodyChunks, body);
  nlohmann::json chunks = nlohmann::json::array();
  for (const auto& chunk : response.BodyChunks) chunks.push_back(chunk.size());
  const nlohmann::json out = {{"ok", ok},
                              {"headers", posix::Cp932ToUtf8(headers)},
                              {"body_chunks", chunks},
                              {"body", posix::Cp932ToUtf8(body)}};
  return out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace wharfling::cli
