#pragma once
// PLACEHOLDER until the web layer lands
#include <optional>
#include <string>
#include "web/last_response.h"
#include "web/request.h"
namespace wharfling {
enum class UploadSender { kParvault };
class WebClient {
 public:
  bool HttpExchange(const RequestProfile& profile, std::string_view url, Method method,
                    std::uint32_t requestFlags, std::string_view body,
                    std::optional<std::string_view> extraHeader, AccessMode access);
  bool SendUpload(UploadSender sender, std::string_view url, std::uint32_t requestFlags,
                  std::optional<std::string_view> extraHeader, const std::string& filePath,
                  std::string_view value1, std::string_view value2, std::string_view value3);
  const LastResponse& lastResponse() const;
  Text PageText() const;
  Text HeaderText() const;
};
}  // namespace wharfling
