#include "apps/wharfling/response_json.h"

#include <nlohmann/json.hpp>
#include <string>

#include "apps/wharfling/json_output.h"
#include "platform/posix/encoding.h"

namespace wharfling::cli {
namespace {

constexpr std::size_t kPieceBytes = 64 * 1024;

// One UTF-8 text as the inside of a JSON string, without the quotes around it.
void WriteStringContent(std::FILE* out, const std::string& utf8) {
  const std::string quoted =
      nlohmann::json(utf8).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  std::fwrite(quoted.data() + 1, 1, quoted.size() - 2, out);
}

// The joined list as one JSON string, converted in pieces that end on a character boundary.
void WriteChunksAsString(std::FILE* out, const ChunkList& chunks) {
  std::fputc('"', out);
  Text piece;
  bool trailPending = false;  // the last byte of piece began a double-byte character
  const auto flush = [&](bool last) {
    const std::size_t keep = trailPending && !last ? 1 : 0;
    WriteStringContent(out, posix::Cp932ToUtf8(std::string_view(piece).substr(0, piece.size() - keep)));
    piece.erase(0, piece.size() - keep);
  };
  for (const auto& chunk : chunks) {
    for (const char c : chunk) {
      piece += c;
      trailPending = !trailPending && IsLeadByte(static_cast<unsigned char>(c));
      if (piece.size() >= kPieceBytes) flush(false);
    }
  }
  flush(true);
  std::fputc('"', out);
}

}  // namespace

void WriteResponseJson(std::FILE* out, bool ok, std::string_view error, const LastResponse& response) {
  std::fputs("{\n  \"body\": ", out);
  WriteChunksAsString(out, response.BodyChunks);
  std::fputs(",\n  \"body_chunks\": [", out);
  for (std::size_t i = 0; i < response.BodyChunks.size(); ++i) {
    std::fprintf(out, i == 0 ? "\n    %zu" : ",\n    %zu", response.BodyChunks[i].size());
  }
  std::fputs(response.BodyChunks.empty() ? "]" : "\n  ]", out);
  if (!ok) {
    std::fputs(",\n  \"error\": \"", out);
    WriteStringContent(out, posix::Cp932ToUtf8(error));
    std::fputc('"', out);
  }
  std::fputs(",\n  \"headers\": ", out);
  WriteChunksAsString(out, response.HeaderBlocks);
  std::fprintf(out, ",\n  \"ok\": %s,\n  \"version\": %d\n}\n", ok ? "true" : "false", kJsonVersion);
}

}  // namespace wharfling::cli
