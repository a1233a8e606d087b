#pragma once
// The per-site upload forms: which fields each site's upload page posts, in which order, with which
// file part, and under which client identity.

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "text/text.h"
#include "web/multipart_body.h"
#include "web/request.h"

namespace wharfling {

enum class UploadSender {
  kParvault,
  kZorg,
  kHatenaFotolife,
  kCreativePeople,
  kPhotohito,
  kMixiPhoto,
  kMixiConfirm,
  kOlio,
  kIiiro,
  kMyPicturetown,
  kFueru,
  kRakutenPhoto,
  kPicMate,
  kSnapfish,
};

// The site-supplied texts of one upload.
struct UploadValues {
  std::string_view value1;
  std::string_view value2;
  std::string_view value3;
};

// The upload profile the sender's request carries (its lines come before the multipart Content-Type).
const RequestProfile& UploadProfileOf(UploadSender sender);

// False only for the Mixi confirmation sender, whose body has no file part.
bool SenderSendsFile(UploadSender sender);

// The file name as it goes into a part header: double quote, CR and LF percent-encoded (%22, %0D, %0A)
// so that a name cannot end the quoted value or the header line; every other byte unchanged.
Text EncodeUploadFileName(std::string_view fileName);

// The photo's content as the body takes it: its size, and how to write exactly that many bytes into the
// place the body keeps for them, so that the photo is held once, inside the body.
struct FileContent {
  std::size_t size = 0;
  std::function<bool(std::span<char>)> fill;
};

// Builds the sender's whole body. pathText is the photo's path as text: the file name of the file part
// (encoded as above) and, for Snapfish, the value of its "file0" field. The file content is ignored by
// a sender that sends no file. Nothing when the content cannot be written.
std::optional<MultipartBody> BuildUploadBody(UploadSender sender, std::string_view pathText,
                                             const FileContent& file, const UploadValues& values);
// The same with the photo's bytes at hand.
MultipartBody BuildUploadBody(UploadSender sender, std::string_view pathText, std::string_view fileBytes,
                              const UploadValues& values);

// Command-line names: parvault, zorg, hatena, creativepeople, photohito, mixi-photo, mixi-confirm,
// olio, iiiro, mypicturetown, fueru, rakuten, picmate, snapfish.
std::optional<UploadSender> UploadSenderFromName(std::string_view name);
std::string_view UploadSenderName(UploadSender sender);

}  // namespace wharfling
