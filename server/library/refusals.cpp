#include "server/library/refusals.h"

#include <array>
#include <utility>

#include "text/text.h"
#include "wharfling/texts.h"

namespace wharfling::server {
namespace {

constexpr std::array<std::pair<Refusal, std::string_view>, 8> kCodes{{
    {Refusal::kNotSignedIn, "login"},
    {Refusal::kTooLarge, "size"},
    {Refusal::kNoFile, "nofile"},
    {Refusal::kBadName, "badname"},
    {Refusal::kNameTooLong, "longname"},
    {Refusal::kMalformed, "malformed"},
    {Refusal::kStorage, "storage"},
    {Refusal::kQuota, "quota"},
}};

}  // namespace

std::string_view RefusalCode(Refusal refusal) {
  for (const auto& [value, code] : kCodes) {
    if (value == refusal) return code;
  }
  return "malformed";
}

std::optional<Refusal> RefusalFromCode(std::string_view code) {
  for (const auto& [value, known] : kCodes) {
    if (known == code) return value;
  }
  return std::nullopt;
}

std::string RefusalLocation(Refusal refusal) {
  return "refused.asp?code=" + std::string(RefusalCode(refusal));
}

std::string RefusalReason(Refusal refusal, std::uint64_t maxFileSize, std::uint64_t quota) {
  switch (refusal) {
    case Refusal::kNotSignedIn:
      return std::string(texts::kServerNotSignedIn);
    case Refusal::kTooLarge:
      return FormatText(texts::kServerFileTooLarge, {FormatThousands(static_cast<long long>(maxFileSize))});
    case Refusal::kNoFile:
      return std::string(texts::kServerNoFile);
    case Refusal::kBadName:
      return std::string(texts::kServerBadFileName);
    case Refusal::kNameTooLong:
      return std::string(texts::kServerFileNameTooLong);
    case Refusal::kMalformed:
      return std::string(texts::kServerMalformedUpload);
    case Refusal::kStorage:
      return std::string(texts::kServerCannotStore);
    case Refusal::kQuota:
      return FormatText(texts::kServerQuotaExceeded, {FormatThousands(static_cast<long long>(quota))});
  }
  return std::string(texts::kServerMalformedUpload);
}

}  // namespace wharfling::server
