#pragma once
// Why an upload is refused. The uploader follows the refusal's Location, "refused.asp?code=...",
// and shows the reason it reads from that page.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wharfling::server {

enum class Refusal { kNotSignedIn, kTooLarge, kNoFile, kBadName, kNameTooLong, kMalformed, kStorage, kQuota };

// The code in the refusal page's query: "login", "size", "nofile", "badname", "longname",
// "malformed", "storage", "quota".
std::string_view RefusalCode(Refusal refusal);
std::optional<Refusal> RefusalFromCode(std::string_view code);

// The Location of a refusal, relative to the site: "refused.asp?code=size".
std::string RefusalLocation(Refusal refusal);

// The reason shown to the user, CP932; the size limit is named in the size refusal, the account's
// quota in the quota refusal.
std::string RefusalReason(Refusal refusal, std::uint64_t maxFileSize, std::uint64_t quota = 0);

}  // namespace wharfling::server
