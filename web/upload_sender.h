#pragma once
// The per-site upload forms: which fields each site's upload page posts, in which order, with which
// file part, and under which client identity.

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

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

// A value the driver gives one upload, under the name its field has in the site's upload form (a
// token or a hidden value from the site's pages, an album, a title). A field of the form that takes a
// given value and is not given one is sent empty.
struct FormField {
  std::string_view name;
  std::string_view value;
};
using FormFields = std::vector<FormField>;

// The upload profile the sender's request carries (its lines come before the multipart Content-Type).
const RequestProfile& UploadProfileOf(UploadSender sender);

// False only for the Mixi confirmation sender, whose body has no file part.
bool SenderSendsFile(UploadSender sender);

// The fields of the sender's form that take a given value, in the form's order.
std::vector<std::string_view> FieldsTakenBy(UploadSender sender);
// Whether name is one of them.
bool SenderTakesField(UploadSender sender, std::string_view name);

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
                                             const FileContent& file, const FormFields& fields);
// The same with the photo's bytes at hand.
MultipartBody BuildUploadBody(UploadSender sender, std::string_view pathText, std::string_view fileBytes,
                              const FormFields& fields);

// Command-line names: parvault, zorg, hatena, creativepeople, photohito, mixi-photo, mixi-confirm,
// olio, iiiro, mypicturetown, fueru, rakuten, picmate, snapfish.
std::optional<UploadSender> UploadSenderFromName(std::string_view name);
std::string_view UploadSenderName(UploadSender sender);

}  // namespace wharfling
