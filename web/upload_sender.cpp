#include "web/upload_sender.h"

#include <algorithm>
#include <array>
#include <span>

namespace wharfling {
namespace {

// Where a field's value comes from: the layout itself, the driver's call (by the field's name) or the
// photo's path.
enum class Source { kFixed, kGiven, kPath };

struct Field {
  std::string_view name;
  Source source;
  std::string_view fixed = {};
};

struct FilePart {
  std::string_view field;
  std::string_view contentType;    // empty: the generic application/octet-stream part
  std::string_view fixedFileName;  // empty: the photo's path
};

struct Layout {
  UploadSender sender;
  std::string_view name;
  bool msie7;
  std::span<const Field> before;
  std::optional<FilePart> file;
  std::span<const Field> after;
};

constexpr Field Fixed(std::string_view name, std::string_view value) { return {name, Source::kFixed, value}; }
constexpr Field Empty(std::string_view name) { return {name, Source::kFixed, ""}; }
constexpr Field Given(std::string_view name) { return {name, Source::kGiven}; }
constexpr Field Path(std::string_view name) { return {name, Source::kPath}; }

constexpr Field kParvault[] = {Empty("FileID"), Empty("CompressFlg"), Empty("SplitNo"), Empty("version")};
constexpr Field kZorgBefore[] = {Fixed("storage_id", "1"), Given("c"), Given("m"), Given("uk")};
constexpr Field kZorgAfter[] = {Empty("category1_1"),         Empty("tagstr1"),
                                Fixed("o_pict_mem", "0"),     Fixed("o_pict_pub", "0"),
                                Fixed("o_pictedit", "10"),    Fixed("o_picttagging", "10"),
                                Fixed("o_pictballoon", "10"), Empty("al")};
constexpr Field kHatena[] = {Given("mode"), Given("rkm"), Empty("fototitle1")};
constexpr Field kCreativePeople[] = {Fixed("priv", "3")};
constexpr Field kPhotohito[] = {Given("_csrf_token"), Given("status")};
constexpr Field kMixiPhoto[] = {Fixed("submit", "main"), Fixed("orig_size", "on")};
constexpr Field kMixiConfirm[] = {Given("submit"), Given("packed"), Given("post_key")};
constexpr Field kOlio[] = {Given("web_album_id")};
constexpr Field kIiiro[] = {Given("aid"), Given("upload_image_name")};
constexpr Field kMyPicturetown[] = {Empty("formFilesUpload_hf_0"), Empty("fileInput2"), Empty("fileInput3"),
                                    Empty("fileInput4"),           Empty("fileInput5"), Empty("fileInput6"),
                                    Empty("fileInput7"),           Empty("fileInput8"), Empty("fileInput9"),
                                    Empty("fileInput10"),          Empty("selectList"), Empty("tags")};
constexpr Field kRakuten[] = {Fixed("menu", "upiupload"),
                              Empty("folder"),
                              Given("csrf_hash"),
                              Fixed("errorflag_1", "0"),
                              Empty("name[]"),
                              Empty("tag[]"),
                              Empty("description[]"),
                              Given("folder_id[]"),
                              Fixed("x", "122"),
                              Fixed("y", "14")};
constexpr Field kPicMate[] = {Empty("upload_album"), Fixed("privacy", "1"), Given("onetime_token")};

// The site's form names these two fields with fixed 36-byte sequences; they are sent byte for byte.
constexpr std::string_view kSnapfishFieldX =
    "\x20\xE5\x86\x99\xE7\x9C\x9F\xE3\x82\x92\xE3\x82\xA2\xE3\x83\x81\x45\x81\x45\xE3\x83\xAD\xE3\x83\xBC"
    "\xE3\x83\x89\xE3\x81\x99\xE3\x82\x81\x45\x78";
constexpr std::string_view kSnapfishFieldY =
    "\x20\xE5\x86\x99\xE7\x9C\x9F\xE3\x82\x92\xE3\x82\xA2\xE3\x83\x81\x45\x81\x45\xE3\x83\xAD\xE3\x83\xBC"
    "\xE3\x83\x89\xE3\x81\x99\xE3\x82\x81\x45\x79";
static_assert(kSnapfishFieldX.size() == 36 && kSnapfishFieldY.size() == 36);
constexpr Field kSnapfish[] = {Fixed("albumTypeOption", "NEW"), Path("file0"), Fixed(kSnapfishFieldX, "30"),
                               Fixed(kSnapfishFieldY, "12")};

constexpr std::string_view kJpeg = "image/jpeg";
constexpr std::string_view kPjpeg = "image/pjpeg";

constexpr std::array<Layout, 14> kLayouts = {{
    {UploadSender::kParvault, "parvault", false, kParvault, FilePart{"DataFile", "", ""}, {}},
    {UploadSender::kZorg, "zorg", false, kZorgBefore, FilePart{"pict1", "", ""}, kZorgAfter},
    {UploadSender::kHatenaFotolife, "hatena", true, kHatena, FilePart{"image1", kJpeg, ""}, {}},
    {UploadSender::kCreativePeople,
     "creativepeople",
     true,
     kCreativePeople,
     FilePart{"upload", kJpeg, ""},
     {}},
    {UploadSender::kPhotohito, "photohito", false, kPhotohito, FilePart{"Filedata", kPjpeg, ""}, {}},
    {UploadSender::kMixiPhoto, "mixi-photo", false, kMixiPhoto, FilePart{"photo1", kPjpeg, ""}, {}},
    {UploadSender::kMixiConfirm, "mixi-confirm", false, kMixiConfirm, std::nullopt, {}},
    {UploadSender::kOlio, "olio", true, kOlio, FilePart{"filedata[0]", kJpeg, ""}, {}},
    {UploadSender::kIiiro, "iiiro", true, kIiiro, FilePart{"filename", kJpeg, ""}, {}},
    {UploadSender::kMyPicturetown,
     "mypicturetown",
     true,
     kMyPicturetown,
     FilePart{"fileInput1", kJpeg, ""},
     {}},
    {UploadSender::kFueru, "fueru", true, {}, FilePart{"Filedata", kJpeg, ""}, {}},
    {UploadSender::kRakutenPhoto, "rakuten", true, kRakuten, FilePart{"image[]", kJpeg, ""}, {}},
    {UploadSender::kPicMate, "picmate", true, kPicMate, FilePart{"UPLOAD_FILE", kJpeg, ""}, {}},
    {UploadSender::kSnapfish,
     "snapfish",
     true,
     kSnapfish,
     FilePart{"fakeFile0", kJpeg, "glCNhoNSgVuDWILMko2I05NfLmRvYw=="},
     {}},
}};

const Layout& LayoutOf(UploadSender sender) {
  for (const auto& layout : kLayouts) {
    if (layout.sender == sender) return layout;
  }
  return kLayouts.front();
}

std::string_view ValueOf(const Field& field, std::string_view pathText, const FormFields& given) {
  switch (field.source) {
    case Source::kGiven: {
      const auto found = std::find_if(given.begin(), given.end(),
                                      [&field](const FormField& one) { return one.name == field.name; });
      return found == given.end() ? std::string_view() : found->value;
    }
    case Source::kPath:
      return pathText;
    case Source::kFixed:
      break;
  }
  return field.fixed;
}

}  // namespace

const RequestProfile& UploadProfileOf(UploadSender sender) {
  return LayoutOf(sender).msie7 ? Msie7UploadProfile() : Msie6UploadProfile();
}

bool SenderSendsFile(UploadSender sender) { return LayoutOf(sender).file.has_value(); }

std::vector<std::string_view> FieldsTakenBy(UploadSender sender) {
  const Layout& layout = LayoutOf(sender);
  std::vector<std::string_view> names;
  for (const auto fields : {layout.before, layout.after}) {
    for (const Field& field : fields) {
      if (field.source == Source::kGiven) names.push_back(field.name);
    }
  }
  return names;
}

bool SenderTakesField(UploadSender sender, std::string_view name) {
  const std::vector<std::string_view> names = FieldsTakenBy(sender);
  return std::ranges::find(names, name) != names.end();
}

Text EncodeUploadFileName(std::string_view fileName) {
  return PercentEncode(fileName,
                       [](unsigned char byte) { return byte == '"' || byte == '\r' || byte == '\n'; });
}

std::optional<MultipartBody> BuildUploadBody(UploadSender sender, std::string_view pathText,
                                             const FileContent& file, const FormFields& fields) {
  const Layout& layout = LayoutOf(sender);
  MultipartBody body;
  for (const auto& field : layout.before) body.AddTextPart(field.name, ValueOf(field, pathText, fields));
  if (layout.file) {
    const FilePart& part = *layout.file;
    const Text fileName = EncodeUploadFileName(part.fixedFileName.empty() ? pathText : part.fixedFileName);
    if (part.contentType.empty()) {
      body.AddFilePart(part.field, fileName);
    } else {
      body.AddTypedFilePart(part.field, fileName, part.contentType);
    }
    // One allocation for the staged headers, the photo and what follows it.
    body.Reserve(body.staged().size() + file.size + 2 + 512 * (layout.after.size() + 1));
    if (!body.AddFileContent(file.size, file.fill)) return std::nullopt;
  }
  for (const auto& field : layout.after) body.AddTextPart(field.name, ValueOf(field, pathText, fields));
  body.Close();
  return body;
}

MultipartBody BuildUploadBody(UploadSender sender, std::string_view pathText, std::string_view fileBytes,
                              const FormFields& fields) {
  const FileContent copy{fileBytes.size(), [fileBytes](std::span<char> place) {
                           std::copy(fileBytes.begin(), fileBytes.end(), place.begin());
                           return true;
                         }};
  return *BuildUploadBody(sender, pathText, copy, fields);
}

std::optional<UploadSender> UploadSenderFromName(std::string_view name) {
  for (const auto& layout : kLayouts) {
    if (layout.name == name) return layout.sender;
  }
  return std::nullopt;
}

std::string_view UploadSenderName(UploadSender sender) { return LayoutOf(sender).name; }

}  // namespace wharfling
