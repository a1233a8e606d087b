#pragma once
// PLACEHOLDER until the web layer lands
#include "web/last_response.h"
namespace wharfling {
bool PageContains(const ChunkList& chunks, std::string_view marker);
bool ExtractMessage(const ChunkList& chunks, Text& out);
bool ExtractRedirect(const ChunkList& headers, Text& out);
}  // namespace wharfling
