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

struct SniffCase {
  std::string bytes;
  std::string type;
};

class SniffTest : public ::testing::TestWithParam<SniffCase> {};

TEST_P(SniffTest, KnowsTheFourPictureFormatsByTheirFirstBytes) {
  EXPECT_EQ(SniffImageType(GetParam().bytes), GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(Signatures, SniffTest,
                         ::testing::Values(SniffCase{"\xFF\xD8\xFF\xE1xx", "image/jpeg"},
                                           SniffCase{"\xFF\xD8", ""},
                                           SniffCase{"\x89PNG\r\n\x1A\n", "image/png"},
                                           SniffCase{"\x89PNG\r\n", ""}, SniffCase{"GIF87a", "image/gif"},
                                           SniffCase{"GIF89a", "image/gif"}, SniffCase{"GIF90a", ""},
                                           SniffCase{std::string("RIFF\0\0\0\0WEBP", 12), "image/webp"},
                                           SniffCase{std::string("RIFF\0\0\0\0WAVE", 12), ""},
                                           SniffCase{"<svg xmlns=", ""}, SniffCase{"", ""}));

TEST(PhotoIndexTest, IdsAreHexTokens) {
  EXPECT_TRUE(IsPhotoId(NewPhotoId()));
  EXPECT_NE(NewPhotoId(), NewPhotoId());
  for (const std::string& bad : {std::string(31, 'a'), std::string(33, 'a'), std::string(32, 'A'),
                                 std::string(31, 'a') + "/", std::string("")}) {
    EXPECT_FALSE(IsPhotoId(bad)) << bad;
  }
}

struct BrowserNameCase {
  std::string sent;
  std::string stored;  // "" refused as bad
};

class BrowserNameTest : public ::testing::TestWithParam<BrowserNameCase> {};

TEST_P(BrowserNameTest, KeepsTheUtf8BaseName) {
  const StoredName name = StoredNameForUtf8(GetParam().sent);
  EXPECT_EQ(name.utf8, GetParam().stored);
  EXPECT_EQ(name.problem == NameProblem::kNone, !GetParam().stored.empty());
}

INSTANTIATE_TEST_SUITE_P(Names, BrowserNameTest,
                         ::testing::Values(BrowserNameCase{"photo.jpg", "photo.jpg"},
                                           BrowserNameCase{"\xe8\xa1\xa8.jpg", "\xe8\xa1\xa8.jpg"},
                                           BrowserNameCase{"C:\\fakepath\\a.jpg", "a.jpg"},
                                           BrowserNameCase{"../../etc/passwd", "passwd"},
                                           BrowserNameCase{".hidden", ""}, BrowserNameCase{"a\x01.jpg", ""},
                                           BrowserNameCase{"\xff\xfe.jpg", ""}, BrowserNameCase{"dir/", ""}));

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

struct MessageCase {
  Fields query;
  std::string message;
};

class GalleryMessageTest : public ::testing::TestWithParam<MessageCase> {};

TEST_P(GalleryMessageTest, TellsWhatTheLastChangeDid) {
  EXPECT_EQ(GalleryMessage(GetParam().query, 4000000, 1000), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Queries, GalleryMessageTest,
    ::testing::Values(
        MessageCase{{}, ""}, MessageCase{{{"page", "2"}}, ""},
        MessageCase{{{"deleted", "1"}}, "The photo was deleted."},
        MessageCase{{{"stored", "1"}}, "Uploaded 1 photo."},
        MessageCase{{{"stored", "0"}}, "No file was chosen."}, MessageCase{{{"stored", "x"}}, ""},
        MessageCase{{{"stored", "2"}, {"refused", "1"}, {"why", "size"}},
                    "Uploaded 2 photos. 1 file was not stored: a file is larger than 4,000,000 bytes."},
        MessageCase{{{"stored", "0"}, {"refused", "2"}, {"why", "<script>"}},
                    "Uploaded 0 photos. 2 files were not stored: the upload did not arrive whole."},
        MessageCase{{{"stored", "20"}, {"left", "3"}},
                    "Uploaded 20 photos. 3 files were left out: at most 20 files go at once."}));

TEST(UploadTallyQueryTest, CarriesCountsAndTheFirstReason) {
  EXPECT_EQ(UploadTallyQuery({2, 0, 0, {}}), "?stored=2");
  EXPECT_EQ(UploadTallyQuery({1, 2, 1, Refusal::kQuota}), "?stored=1&refused=2&why=quota&left=1");
}

struct DispositionCase {
  std::string name;
  std::string header;
};

class DispositionTest : public ::testing::TestWithParam<DispositionCase> {};

TEST_P(DispositionTest, GivesAnAsciiStandInAndTheExactName) {
  EXPECT_EQ(AttachmentDisposition(GetParam().name), GetParam().header);
}

INSTANTIATE_TEST_SUITE_P(
    Names, DispositionTest,
    ::testing::Values(
        DispositionCase{"a.jpg", "attachment; filename=\"a.jpg\"; filename*=UTF-8''a.jpg"},
        DispositionCase{"back\\slash%.jpg",
                        "attachment; filename=\"back_slash%.jpg\"; filename*=UTF-8''back%5Cslash%25.jpg"},
        DispositionCase{
            "\xc3\xa9t\xc3\xa9 (2).png",
            "attachment; filename=\"_t_ (2).png\"; filename*=UTF-8''%C3%A9t%C3%A9%20%282%29.png"}));

struct SizeCase {
  std::uint64_t bytes;
  std::string text;
};

class ShortSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ShortSizeTest, RoundsToOneDecimal) { EXPECT_EQ(ShortSize(GetParam().bytes), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(Sizes, ShortSizeTest,
                         ::testing::Values(SizeCase{0, "0 bytes"}, SizeCase{1, "1 byte"},
                                           SizeCase{1023, "1023 bytes"}, SizeCase{1024, "1.0 KB"},
                                           SizeCase{1536, "1.5 KB"},
                                           SizeCase{5 * 1024 * 1024 + 300 * 1024, "5.3 MB"},
                                           SizeCase{3ull << 40, "3.0 TB"}));

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
