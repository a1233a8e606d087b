// The gallery's parts without HTTP: content sniffing, the index file, browser file names, the
// browser form's receiver, the notes after an upload and download names.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/library/browser_upload.h"
#include "server/library/client_file_name.h"
#include "server/library/content_sniffing.h"
#include "server/library/photo_index.h"
#include "server/pages/gallery_messages.h"
#include "server/pages/gallery_pages.h"
#include "server/pages/response_headers.h"
#include "server/server_state.h"
#include "tests/support/file_inspection.h"
#include "tests/support/temp_dir.h"

namespace wharfling::server {
namespace {

using ::testing::ElementsAre;

TEST(SniffTest, KnowsTheFourPictureFormatsByTheirFirstBytes) {
  const std::pair<std::string, std::string> cases[] = {
      {"\xFF\xD8\xFF\xE1xx", "image/jpeg"},
      {"\xFF\xD8", ""},
      {"\x89PNG\r\n\x1A\n", "image/png"},
      {"\x89PNG\r\n", ""},
      {"GIF87a", "image/gif"},
      {"GIF89a", "image/gif"},
      {"GIF90a", ""},
      {std::string("RIFF\0\0\0\0WEBP", 12), "image/webp"},
      {std::string("RIFF\0\0\0\0WAVE", 12), ""},
      {"<svg xmlns=", ""},
      {"", ""},
  };
  for (const auto& [bytes, type] : cases) EXPECT_EQ(SniffImageType(bytes), type) << bytes;
}

TEST(PhotoIndexTest, IdsAreHexTokens) {
  EXPECT_TRUE(IsPhotoId(NewPhotoId()));
  EXPECT_NE(NewPhotoId(), NewPhotoId());
  for (const std::string& bad : {std::string(31, 'a'), std::string(33, 'a'), std::string(32, 'A'),
                                 std::string(31, 'a') + "/", std::string("")}) {
    EXPECT_FALSE(IsPhotoId(bad)) << bad;
  }
}

TEST(BrowserNameTest, KeepsTheUtf8BaseName) {
  // Sent, and stored ("" refused as bad).
  const std::pair<std::string, std::string> cases[] = {
      {"photo.jpg", "photo.jpg"},
      {"\xe8\xa1\xa8.jpg", "\xe8\xa1\xa8.jpg"},
      {"C:\\fakepath\\a.jpg", "a.jpg"},
      {"../../etc/passwd", "passwd"},
      {".hidden", ""},
      {"a\x01.jpg", ""},
      {"\xff\xfe.jpg", ""},
      {"dir/", ""},
  };
  for (const auto& [sent, stored] : cases) {
    SCOPED_TRACE(sent);
    const StoredName name = StoredNameForUtf8(sent);
    EXPECT_EQ(name.utf8, stored);
    EXPECT_EQ(name.problem == NameProblem::kNone, !stored.empty());
  }
}

// The form's parts as a browser sends them, fed straight to the receiver.
struct Part {
  std::string name;
  std::string fileName;
  std::string bytes;
};

class BrowserUploadReceiverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(store_.Open(dir_.path(), error)) << error;
    library_ = OpenSqliteStateIn(dir_.path(), {}, error);
    ASSERT_TRUE(library_) << error;
  }
  BrowserUploadReceiver::Result Receive(const std::vector<Part>& parts,
                                        std::optional<std::uint64_t> quota = {}, bool complete = true) {
    BrowserUploadReceiver receiver(store_, "alice", 10, library_.get(), quota,
                                   [](std::string_view token) { return token == "good"; });
    for (const auto& part : parts) {
      if (!receiver.BeginPart(part.name, part.fileName)) return receiver.Finish(false);
      if (!receiver.Append(part.bytes.data(), part.bytes.size())) return receiver.Finish(false);
    }
    return receiver.Finish(complete);
  }
  std::vector<std::string> Stored() const { return testing::FolderNames(dir_.path() / "alice"); }

  testing::TempDir dir_;
  UploadStore store_;
  std::unique_ptr<state::LibraryState> library_;
};

TEST_F(BrowserUploadReceiverTest, StoresEachFileOfAFormWithAValidToken) {
  const auto result = Receive({{"csrf", "", "good"},
                               {"photos", "a.jpg", "aa"},
                               {"photos", "", ""},
                               {"photos", "big.jpg", std::string(11, 'b')},
                               {"photos", "c.jpg", "c"}});
  EXPECT_TRUE(result.csrfOk);
  ASSERT_EQ(result.files.size(), 3u);
  EXPECT_FALSE(result.files[0].refusal);
  EXPECT_EQ(result.files[1].refusal, Refusal::kTooLarge);
  EXPECT_FALSE(result.files[2].refusal);
  EXPECT_THAT(Stored(), ElementsAre("a.jpg", "c.jpg"));
}

TEST_F(BrowserUploadReceiverTest, WritesNothingForAFileBeforeAValidToken) {
  for (const auto& parts : std::vector<std::vector<Part>>{{{"photos", "a.jpg", "aa"}, {"csrf", "", "good"}},
                                                          {{"csrf", "", "bad"}, {"photos", "a.jpg", "aa"}},
                                                          {{"csrf", "", std::string(200, 'g')}}}) {
    const auto result = Receive(parts);
    EXPECT_FALSE(result.csrfOk);
    EXPECT_TRUE(result.files.empty());
  }
  EXPECT_TRUE(Stored().empty());
}

TEST_F(BrowserUploadReceiverTest, FilesShareTheRoomAndACutBodyStoresNothing) {
  const auto result = Receive({{"csrf", "", "good"},
                               {"photos", "a.jpg", "aaaa"},
                               {"photos", "b.jpg", "bbb"},
                               {"photos", "c.jpg", "cc"}},
                              6);
  ASSERT_EQ(result.files.size(), 3u);
  EXPECT_EQ(result.files[1].refusal, Refusal::kQuota);
  EXPECT_THAT(Stored(), ElementsAre("a.jpg", "c.jpg"));
  const auto cut = Receive({{"csrf", "", "good"}, {"photos", "d.jpg", "d"}}, {}, false);
  EXPECT_EQ(cut.files.at(0).refusal, Refusal::kMalformed);
  EXPECT_THAT(Stored(), ElementsAre("a.jpg", "c.jpg"));
}

TEST(GalleryMessageTest, TellsWhatTheLastChangeDid) {
  const std::pair<Fields, std::string> cases[] = {
      {{}, ""},
      {{{"page", "2"}}, ""},
      {{{"deleted", "1"}}, "The photo was deleted."},
      {{{"stored", "1"}}, "Uploaded 1 photo."},
      {{{"stored", "0"}}, "No file was chosen."},
      {{{"stored", "x"}}, ""},
      {{{"stored", "2"}, {"refused", "1"}, {"why", "size"}},
       "Uploaded 2 photos. 1 file was not stored: a file is larger than 4,000,000 bytes."},
      {{{"stored", "0"}, {"refused", "2"}, {"why", "<script>"}},
       "Uploaded 0 photos. 2 files were not stored: the upload did not arrive whole."},
      {{{"stored", "20"}, {"left", "3"}},
       "Uploaded 20 photos. 3 files were left out: at most 20 files go at once."},
  };
  for (const auto& [query, message] : cases)
    EXPECT_EQ(GalleryMessage(query, 4000000, 1000), message) << ::testing::PrintToString(query);
}

TEST(UploadTallyQueryTest, CarriesCountsAndTheFirstReason) {
  EXPECT_EQ(UploadTallyQuery({2, 0, 0, {}}), "?stored=2");
  EXPECT_EQ(UploadTallyQuery({1, 2, 1, Refusal::kQuota}), "?stored=1&refused=2&why=quota&left=1");
}

TEST(DispositionTest, GivesAnAsciiStandInAndTheExactName) {
  const std::pair<std::string, std::string> cases[] = {
      {"a.jpg", "attachment; filename=\"a.jpg\"; filename*=UTF-8''a.jpg"},
      {"back\\slash%.jpg", "attachment; filename=\"back_slash%.jpg\"; filename*=UTF-8''back%5Cslash%25.jpg"},
      {"\xc3\xa9t\xc3\xa9 (2).png",
       "attachment; filename=\"_t_ (2).png\"; filename*=UTF-8''%C3%A9t%C3%A9%20%282%29.png"},
  };
  for (const auto& [name, header] : cases) EXPECT_EQ(AttachmentDisposition(name), header) << name;
}

TEST(ShortSizeTest, RoundsToOneDecimal) {
  const std::pair<std::uint64_t, std::string> cases[] = {
      {0, "0 bytes"},        {1, "1 byte"},    {1023, "1023 bytes"},
      {1024, "1.0 KB"},      {1536, "1.5 KB"}, {5 * 1024 * 1024 + 300 * 1024, "5.3 MB"},
      {3ull << 40, "3.0 TB"}};
  for (const auto& [bytes, text] : cases) EXPECT_EQ(ShortSize(bytes), text) << bytes;
}

TEST(ShortTimeTest, IsUtcToTheMinute) {
  EXPECT_EQ(ShortTime(0), "1970-01-01 00:00 UTC");
  EXPECT_EQ(ShortTime(1765184459999), "2025-12-08 09:00 UTC");
}

// Bidirectional controls are written out, so that "photo\u202Egpj.exe" cannot pass for a JPEG.
TEST(ShownNameTest, WritesOutBidirectionalControls) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"photo\xE2\x80\xAEgpj.exe", "photo[U+202E]gpj.exe"},
      {"\xE2\x81\xA7"
       "a\xE2\x81\xA9.jpg",
       "[U+2067]a[U+2069].jpg"},
      {"a\xE2\x80\x8F\xD8\x9C.jpg", "a[U+200F][U+061C].jpg"},
      {"\xE2\x80\xAA\xE2\x80\x8E", "[U+202A][U+200E]"},
      {"\xE8\xA1\xA8 \xE2\x80\x94.jpg", "\xE8\xA1\xA8 \xE2\x80\x94.jpg"},  // an em dash is no control
      {"cut\xE2\x80", "cut\xE2\x80"},
  };
  for (const auto& [name, shown] : cases) EXPECT_EQ(ShownName(name), shown) << name;
}

}  // namespace
}  // namespace wharfling::server
