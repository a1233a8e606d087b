#pragma once
// The short note the gallery shows after an upload or a deletion. The outcome travels in the
// redirect's query as counts and a refusal code, and the text is made here: no text of the
// client's choosing ever appears on the page.

#include <cstdint>
#include <optional>
#include <string>

#include "server/engine/http_exchange.h"
#include "server/library/refusals.h"

namespace wharfling::server {

struct UploadTally {
  int stored = 0;
  int refused = 0;
  int leftOut = 0;
  std::optional<Refusal> firstRefusal;
};

// "?stored=2&refused=1&why=size", or "?stored=0" when the form brought no file.
std::string UploadTallyQuery(const UploadTally& tally);

// "" when the query tells of nothing.
std::string GalleryMessage(const Fields& query, std::uint64_t maxFileSize, std::uint64_t quota);

}  // namespace wharfling::server
