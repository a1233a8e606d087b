// The byte-exact body and header set of every upload sender, against bodies written out by hand from
// the sites' upload forms.

#include "web/upload_sender.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/recording_transport.h"
#include "tests/support/temp_dir.h"
#include "web/web_client.h"

namespace wharfling {
namespace {

using testing::RecordingTransport;
using testing::TempDir;

const std::string kDelimiter = "-----------------------------7d432817150952\r\n";
const std::string kClosing = "-----------------------------7d432817150952--\r\n";
const std::string kPhoto("\xFF\xD8\xFF\xE0\0\x10JFIF\0\r\n--\xFF\xD9", 17);

std::string Field(const std::string& name, const std::string& value) {
  return kDelimiter + "Content-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

std::string FileField(const std::string& name, const std::string& fileName, const std::string& type) {
  return kDelimiter + "Content-Disposition: form-data; name=\"" + name + "\"; filename=\"" + fileName +
         "\"\r\nContent-Type: " + type + "\r\n\r\n" + kPhoto + "\r\n";
}

class UploadSenderTest : public ::testing::Test {
 protected:
  UploadSenderTest() : path_(dir_.WriteFile("photo.jpg", kPhoto)), client_(transport_, codec_) {}

  // Sends through sender with the given fields and returns the body the transport was given.
  std::string Send(UploadSender sender, const std::string& path, const FormFields& fields = {}) {
    const std::size_t before = transport_.calls().size();
    EXPECT_TRUE(client_.SendUpload(sender, "http://up.example.test/upload", kFlagNoAutoRedirect,
                                   "Referer: http://www.example.test/form", path, fields));
    EXPECT_EQ(transport_.calls().size(), before + 1);
    return transport_.calls().back().body;
  }

  TempDir dir_;
  std::string path_;
  RecordingTransport transport_;
  IdentityTextCodec codec_;
  WebClient client_;
};

TEST_F(UploadSenderTest, EverySenderSendsItsSitesFormByteForByte) {
  const std::string& p = path_;
  const std::string jpeg = "image/jpeg";
  // Field names of the Snapfish form, 36 bytes each, as the site's own form names them.
  const std::string snapX =
      "\x20\xE5\x86\x99\xE7\x9C\x9F\xE3\x82\x92\xE3\x82\xA2\xE3\x83\x81\x45\x81\x45\xE3\x83\xAD\xE3\x83\xBC"
      "\xE3\x83\x89\xE3\x81\x99\xE3\x82\x81\x45\x78";
  const std::string snapY = snapX.substr(0, 35) + "y";
  const struct {
    UploadSender sender;
    FormFields fields;
    std::string expected;
  } cases[] = {
      {UploadSender::kParvault,
       {},
       Field("FileID", "") + Field("CompressFlg", "") + Field("SplitNo", "") + Field("version", "") +
           FileField("DataFile", p, "application/octet-stream") + kClosing},
      {UploadSender::kZorg,
       {{"uk", "v1"}, {"c", "v2"}, {"m", "v3"}},
       Field("storage_id", "1") + Field("c", "v2") + Field("m", "v3") + Field("uk", "v1") +
           FileField("pict1", p, "application/octet-stream") + Field("category1_1", "") +
           Field("tagstr1", "") + Field("o_pict_mem", "0") + Field("o_pict_pub", "0") +
           Field("o_pictedit", "10") + Field("o_picttagging", "10") + Field("o_pictballoon", "10") +
           Field("al", "") + kClosing},
      {UploadSender::kHatenaFotolife,
       {{"mode", "v1"}, {"rkm", "v2"}},
       Field("mode", "v1") + Field("rkm", "v2") + Field("fototitle1", "") + FileField("image1", p, jpeg) +
           kClosing},
      {UploadSender::kCreativePeople, {}, Field("priv", "3") + FileField("upload", p, jpeg) + kClosing},
      {UploadSender::kPhotohito,
       {{"_csrf_token", "v1"}, {"status", "v2"}},
       Field("_csrf_token", "v1") + Field("status", "v2") + FileField("Filedata", p, "image/pjpeg") +
           kClosing},
      {UploadSender::kMixiPhoto,
       {},
       Field("submit", "main") + Field("orig_size", "on") + FileField("photo1", p, "image/pjpeg") + kClosing},
      {UploadSender::kMixiConfirm,
       {{"submit", "v1"}, {"packed", "v2"}, {"post_key", "v3"}},
       Field("submit", "v1") + Field("packed", "v2") + Field("post_key", "v3") + kClosing},
      {UploadSender::kOlio,
       {{"web_album_id", "v1"}},
       Field("web_album_id", "v1") + FileField("filedata[0]", p, jpeg) + kClosing},
      {UploadSender::kIiiro,
       {{"aid", "v1"}, {"upload_image_name", "v2"}},
       Field("aid", "v1") + Field("upload_image_name", "v2") + FileField("filename", p, jpeg) + kClosing},
      {UploadSender::kMyPicturetown,
       {},
       Field("formFilesUpload_hf_0", "") + Field("fileInput2", "") + Field("fileInput3", "") +
           Field("fileInput4", "") + Field("fileInput5", "") + Field("fileInput6", "") +
           Field("fileInput7", "") + Field("fileInput8", "") + Field("fileInput9", "") +
           Field("fileInput10", "") + Field("selectList", "") + Field("tags", "") +
           FileField("fileInput1", p, jpeg) + kClosing},
      {UploadSender::kFueru, {}, FileField("Filedata", p, jpeg) + kClosing},
      {UploadSender::kRakutenPhoto,
       {{"csrf_hash", "v1"}, {"folder_id[]", "v2"}},
       Field("menu", "upiupload") + Field("folder", "") + Field("csrf_hash", "v1") +
           Field("errorflag_1", "0") + Field("name[]", "") + Field("tag[]", "") + Field("description[]", "") +
           Field("folder_id[]", "v2") + Field("x", "122") + Field("y", "14") + FileField("image[]", p, jpeg) +
           kClosing},
      {UploadSender::kPicMate,
       {{"onetime_token", "v1"}},
       Field("upload_album", "") + Field("privacy", "1") + Field("onetime_token", "v1") +
           FileField("UPLOAD_FILE", p, jpeg) + kClosing},
      {UploadSender::kSnapfish,
       {},
       Field("albumTypeOption", "NEW") + Field("file0", p) + Field(snapX, "30") + Field(snapY, "12") +
           FileField("fakeFile0", "glCNhoNSgVuDWILMko2I05NfLmRvYw==", jpeg) + kClosing},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Send(c.sender, path_, c.fields), c.expected) << UploadSenderName(c.sender);
  }
}

TEST_F(UploadSenderTest, ParvaultBodyWrittenOutWhole) {
  const std::string path = dir_.WriteFile("p.jpg", "AB");
  EXPECT_EQ(Send(UploadSender::kParvault, path),
            "-----------------------------7d432817150952\r\n"
            "Content-Disposition: form-data; name=\"FileID\"\r\n\r\n\r\n"
            "-----------------------------7d432817150952\r\n"
            "Content-Disposition: form-data; name=\"CompressFlg\"\r\n\r\n\r\n"
            "-----------------------------7d432817150952\r\n"
            "Content-Disposition: form-data; name=\"SplitNo\"\r\n\r\n\r\n"
            "-----------------------------7d432817150952\r\n"
            "Content-Disposition: form-data; name=\"version\"\r\n\r\n\r\n"
            "-----------------------------7d432817150952\r\n"
            "Content-Disposition: form-data; name=\"DataFile\"; filename=\"" +
                path +
                "\"\r\n"
                "Content-Type: application/octet-stream\r\n\r\n"
                "AB\r\n"
                "-----------------------------7d432817150952--\r\n");
}

TEST_F(UploadSenderTest, UploadsCarryTheirProfilesLinesThenTheMultipartTypeThenTheExtraHeader) {
  Send(UploadSender::kHatenaFotolife, path_);
  const auto& hatena = transport_.calls().back();
  EXPECT_EQ(hatena.request.method, Method::kPost);
  EXPECT_EQ(hatena.userAgent,
            "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; .NET CLR 1.1.4322; .NET CLR 2.0.50727)");
  EXPECT_EQ(hatena.request.headerLines,
            (std::vector<std::string>{
                "Accept-Language: ja",
                "Accept: text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,"
                "image/png,*/*;q=0.5",
                "Accept-Encoding: gzip,deflate",
                "Content-Type: multipart/form-data; boundary=---------------------------7d432817150952",
                "Referer: http://www.example.test/form"}));

  Send(UploadSender::kZorg, path_);
  const auto& zorg = transport_.calls().back();
  EXPECT_EQ(zorg.userAgent, "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 1.1.4322)");
  EXPECT_EQ(zorg.request.headerLines,
            (std::vector<std::string>{
                "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
                "application/vnd.ms-powerpoint, application/vnd.ms-excel, application/msword, */*",
                "Accept-Language: ja", "Proxy-Connection: Keep-Alive",
                "Content-Type: multipart/form-data; boundary=---------------------------7d432817150952",
                "Referer: http://www.example.test/form"}));
  EXPECT_EQ(zorg.request.access, AccessMode::kDirect);
}

TEST_F(UploadSenderTest, TwoSendsOfTheSamePhotoAreIdentical) {
  for (const auto sender : {UploadSender::kParvault, UploadSender::kSnapfish, UploadSender::kRakutenPhoto}) {
    EXPECT_EQ(Send(sender, path_), Send(sender, path_)) << UploadSenderName(sender);
  }
}

TEST_F(UploadSenderTest, MixiConfirmationReadsNoFile) {
  const FormFields fields = {{"submit", "v1"}, {"packed", "v2"}, {"post_key", "v3"}};
  const std::string body = Send(UploadSender::kMixiConfirm, "", fields);
  EXPECT_EQ(body, Field("submit", "v1") + Field("packed", "v2") + Field("post_key", "v3") + kClosing);
  // A path that does not exist is not even looked at.
  Send(UploadSender::kMixiConfirm, (dir_.path() / "missing.jpg").string(), fields);
}

TEST_F(UploadSenderTest, FileGoneBeforeTheSendFailsWithNothingSent) {
  transport_.Script({true, "HTTP/1.1 200 OK\r\n", "page", ""});
  ASSERT_TRUE(client_.HttpExchange(Msie6Profile(), "http://www.example.test/", Method::kGet,
                                   kFlagNoAutoRedirect, "", std::nullopt, AccessMode::kDirect));
  ASSERT_FALSE(client_.lastResponse().BodyChunks.empty());
  const std::string path = dir_.WriteFile("screened.jpg", kPhoto);
  std::filesystem::remove(path);
  const std::size_t calls = transport_.calls().size();
  EXPECT_FALSE(client_.SendUpload(UploadSender::kPicMate, "http://up.example.test/upload",
                                  kFlagNoAutoRedirect, std::nullopt, path, {{"onetime_token", "t"}}));
  EXPECT_EQ(transport_.calls().size(), calls);
  EXPECT_TRUE(client_.lastResponse().BodyChunks.empty());
  EXPECT_TRUE(client_.lastResponse().HeaderBlocks.empty());
  // A folder cannot be read as a photo either.
  EXPECT_FALSE(client_.SendUpload(UploadSender::kFueru, "http://up.example.test/upload", kFlagNoAutoRedirect,
                                  std::nullopt, dir_.path().string()));
  EXPECT_EQ(transport_.calls().size(), calls);
}

TEST_F(UploadSenderTest, AFieldTheFormLacksFailsWithNothingSent) {
  // A misspelt name, a field the form fixes itself, a field of another site's form.
  for (const std::string_view name : {"uk ", "storage_id", "mode"}) {
    EXPECT_FALSE(client_.SendUpload(UploadSender::kZorg, "http://up.example.test/upload", kFlagNoAutoRedirect,
                                    std::nullopt, path_, {{"uk", "v1"}, {name, "v2"}}));
    EXPECT_EQ(client_.lastError(), "the zorg form has no field \"" + std::string(name) + "\"");
  }
  EXPECT_TRUE(transport_.calls().empty());
}

TEST_F(UploadSenderTest, QuoteCrAndLfInAFileNameArePercentEncoded) {
  const std::string path = dir_.WriteFile("a\"b\rc\nd%22.jpg", "Z");
  const std::string body = Send(UploadSender::kFueru, path);
  const std::string encoded = (dir_.path() / "a%22b%0Dc%0Ad%22.jpg").string();
  EXPECT_EQ(body, kDelimiter + "Content-Disposition: form-data; name=\"Filedata\"; filename=\"" + encoded +
                      "\"\r\nContent-Type: image/jpeg\r\n\r\nZ\r\n" + kClosing);
  EXPECT_EQ(EncodeUploadFileName("C:\\x\\\x83\x5C.jpg"), "C:\\x\\\x83\x5C.jpg");
}

TEST_F(UploadSenderTest, FileNameIsThePathsText) {
  // The codec's text form of the path names the file; the native path is what is read.
  class UpperCodec final : public TextCodec {
   public:
    wharfling::Text PathToText(std::string_view nativePath) const override {
      return "C:\\PHOTOS\\" + std::string(std::filesystem::path(nativePath).filename());
    }
  } codec;
  WebClient client(transport_, codec);
  ASSERT_TRUE(client.SendUpload(UploadSender::kCreativePeople, "http://up.example.test/u",
                                kFlagNoAutoRedirect, std::nullopt, path_));
  EXPECT_EQ(transport_.calls().back().body,
            Field("priv", "3") + FileField("upload", "C:\\PHOTOS\\photo.jpg", "image/jpeg") + kClosing);
}

TEST(UploadSenderNames, RoundTrip) {
  for (const char* name :
       {"parvault", "zorg", "hatena", "creativepeople", "photohito", "mixi-photo", "mixi-confirm", "olio",
        "iiiro", "mypicturetown", "fueru", "rakuten", "picmate", "snapfish"}) {
    const auto sender = UploadSenderFromName(name);
    ASSERT_TRUE(sender) << name;
    EXPECT_EQ(UploadSenderName(*sender), name);
  }
  EXPECT_FALSE(UploadSenderFromName("Zorg"));
}

}  // namespace
}  // namespace wharfling
