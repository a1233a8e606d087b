// parvault-server's pages for people in a browser: the gallery, photos by id, downloads, deletion,
// uploads of several files, the quota, CSRF tokens and thumbnails.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "server/accounts/accounts.h"
#include "server/library/photo_index.h"
#include "server/server_state.h"
#include "server/state/wall_clock.h"
#include "tests/support/gallery_browser.h"
#include "tests/support/http_test_client.h"
#include "tests/support/parvault_test_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_photos.h"

namespace wharfling::server {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using wharfling::testing::Browser;
using wharfling::testing::BrowserForm;
using wharfling::testing::FolderNames;
using wharfling::testing::FormFile;
using wharfling::testing::HttpTestClient;
using wharfling::testing::kBoundary;
using wharfling::testing::ParvaultTestServer;
using wharfling::testing::UploaderBody;
using wharfling::testing::ValuesAfter;

const std::string kPng = std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) + "rest";

std::vector<std::string> ShownNames(const std::string& page) {
  std::vector<std::string> names;
  for (const auto& alt : ValuesAfter(page, "\" alt=\"")) names.push_back(alt);
  return names;
}

class GalleryTest : public ::testing::Test {
 protected:
  std::vector<std::string> Stored() const { return FolderNames(server_.folderOf("alice")); }
  // Uploads the files one by one, as the uploader does, and returns their ids, first upload first.
  std::vector<std::string> UploadAll(Browser& browser, const std::vector<FormFile>& files) {
    for (const auto& file : files)
      EXPECT_EQ(browser.UploaderPost("C:\\p\\" + file.name, file.bytes)->status, 200);
    auto ids = browser.Ids();
    return {ids.rbegin(), ids.rend()};
  }

  ParvaultTestServer server_{{MakeAccount("bob", "pw")}};
};

TEST(GalleryPagingTest, ShowsTheNewestFirstTwoAPage) {
  ParvaultTestServer server({}, [](ParvaultServerOptions& o) { o.photosPerPage = 2; });
  Browser browser(server);
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}) {
    ASSERT_EQ(browser.UploaderPost(std::string("C:\\p\\") + name, name)->status, 200);
  }
  const std::vector<std::string> first = {"e.jpg", "d.jpg"};
  const struct {
    std::string query;
    std::vector<std::string> names;
  } cases[] = {{"", first},
               {"?page=1", first},
               {"?page=2", {"c.jpg", "b.jpg"}},
               {"?page=3", {"a.jpg"}},
               {"?page=99", {"a.jpg"}},
               {"?page=0", first},
               {"?page=x", first}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.query);
    const auto page = browser.Get("menu.asp" + c.query);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->Header("Content-Type"), "text/html; charset=UTF-8");
    EXPECT_EQ(ShownNames(page->body), c.names);
    EXPECT_THAT(page->body, HasSubstr("<p id=\"totals\">5 photos, 25 bytes</p>"));
  }
}

TEST(GalleryStartTest, FilesFoundAtStartShowAndKeepTheirIdsAcrossARestart) {
  testing::TempDir dir;
  std::filesystem::create_directories(dir.path() / "alice");
  std::ofstream(dir.path() / "alice" / "old.png", std::ios::binary) << kPng;
  const auto inDir = [&](ParvaultServerOptions& o) { o.storage = dir.path(); };
  std::vector<std::string> ids;
  {
    ParvaultTestServer first({}, inDir);
    Browser browser(first);
    ids = browser.Ids();
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_EQ(browser.Get("image.asp?id=" + ids[0])->Header("Content-Type"), "image/png");
  }
  EXPECT_THAT(FolderNames(dir.path() / "alice"), ElementsAre("old.png"));
  ParvaultTestServer again({}, inDir);
  Browser browser(again);
  EXPECT_EQ(browser.Ids(), ids);
}

TEST_F(GalleryTest, ADownloadGivesTheOriginalBytesUnderTheStoredName) {
  const struct {
    std::string uploaderPath;  // CP932
    std::string disposition;
  } cases[] = {
      {"C:\\p\\photo.jpg", "attachment; filename=\"photo.jpg\"; filename*=UTF-8''photo.jpg"},
      // 写真 1.jpg, sent in CP932 and stored in UTF-8 (E5 86 99 E7 9C 9F).
      {"C:\\p\\\x8e\xca\x90\x5e 1.jpg",
       "attachment; filename=\"__ 1.jpg\"; filename*=UTF-8''%E5%86%99%E7%9C%9F%201.jpg"},
      {"C:\\p\\say \"hi\"; x=1.jpg",
       "attachment; filename=\"say _hi_; x=1.jpg\"; filename*=UTF-8''say%20%22hi%22%3B%20x%3D1.jpg"},
  };
  Browser browser(server_);
  const std::string bytes("\xFF\xD8\xFF\xE0 jpeg \0 bytes", 17);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.disposition);
    ASSERT_EQ(browser.UploaderPost(c.uploaderPath, bytes)->status, 200);
    const std::string newest = browser.Ids().at(0);
    const auto download = browser.Get("download.asp?id=" + newest);
    ASSERT_TRUE(download);
    EXPECT_EQ(download->status, 200);
    EXPECT_EQ(download->body, bytes);
    EXPECT_EQ(download->Header("Content-Type"), "application/octet-stream");
    // The header byte for byte, as a raw connection reads it.
    const auto raw =
        testing::RawExchange(server_.port(), "GET /ParvaultAsp2/download.asp?id=" + newest +
                                                 " HTTP/1.1\r\nHost: h\r\nCookie: " + browser.cookie() +
                                                 "\r\nConnection: close\r\n\r\n");
    EXPECT_THAT(raw.headerBlock, HasSubstr("\r\nContent-Disposition: " + c.disposition + "\r\n"));
  }
}

TEST_F(GalleryTest, AnImagesContentTypeComesFromTheBytesNeverTheName) {
  const struct {
    std::string name;
    std::string bytes;
    std::string type;  // of image.asp
    bool attachment;
  } cases[] = {
      {"png-named.jpg", kPng, "image/png", false},
      {"real.jpg", "\xFF\xD8\xFF\xDB rest", "image/jpeg", false},
      {"anim.png", "GIF89a rest", "image/gif", false},
      {"pic.bin", std::string("RIFF\x10\0\0\0WEBPVP8 ", 16), "image/webp", false},
      {"notes.jpg", "just some text", "application/octet-stream", true},
      {"page.html", "<script>alert(1)</script>", "application/octet-stream", true},
      {"short.gif", "GIF", "application/octet-stream", true},
  };
  Browser browser(server_);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(browser.Upload({{c.name, c.bytes}})->status, 303);
    const auto image = browser.Get("image.asp?id=" + browser.Ids().at(0));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->body, c.bytes);
    EXPECT_EQ(image->Header("Content-Type"), c.type);
    EXPECT_EQ(image->Header("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(image->HasHeader("Content-Disposition"), c.attachment);
  }
}

TEST_F(GalleryTest, DeletesAfterConfirmationWithItsThumbnail) {
  Browser browser(server_);
  const std::string jpeg = testing::MakeJpeg({.width = 64, .height = 48, .tags = {}});
  const auto ids = UploadAll(browser, {{"keep.jpg", jpeg}, {"gone.jpg", jpeg}});
  ASSERT_EQ(browser.Get("thumb.asp?id=" + ids[1])->Header("Content-Type"), "image/jpeg");
  EXPECT_THAT(Stored(), ElementsAre(ThumbnailNameFor(ids[1]), "gone.jpg", "keep.jpg"));
  // The photo page's form asks first; the confirmation page's form deletes.
  const auto asked = browser.Delete(ids[1], browser.csrf(), false);
  EXPECT_EQ(asked->status, 303);
  EXPECT_EQ(asked->Header("Location"), "delete.asp?id=" + ids[1]);
  const auto confirmation = browser.Get("delete.asp?id=" + ids[1]);
  EXPECT_THAT(confirmation->body, HasSubstr("Delete gone.jpg?"));
  EXPECT_THAT(confirmation->body, HasSubstr("id=\"confirm-delete\""));
  EXPECT_THAT(Stored(), ElementsAre(ThumbnailNameFor(ids[1]), "gone.jpg", "keep.jpg"));
  const auto deleted = browser.Delete(ids[1], browser.csrf());
  EXPECT_EQ(deleted->status, 303);
  EXPECT_EQ(deleted->Header("Location"), "menu.asp?deleted=1");
  EXPECT_THAT(Stored(), ElementsAre("keep.jpg"));
  EXPECT_EQ(browser.Ids(), std::vector<std::string>{ids[0]});
  EXPECT_EQ(browser.Get("photo.asp?id=" + ids[1])->status, 404);
  EXPECT_EQ(browser.Delete(ids[1], browser.csrf())->status, 404);
}

TEST_F(GalleryTest, UploadsSeveralFilesFromTheForm) {
  Browser browser(server_);
  const auto answer = browser.Upload({{"one.jpg", "1"}, {"\xe5\x86\x99.jpg", "22"}, {"", ""}});
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 303);
  EXPECT_EQ(answer->Header("Location"), "menu.asp?stored=2");
  EXPECT_THAT(Stored(), ElementsAre("one.jpg", "\xe5\x86\x99.jpg"));
  const auto gallery = browser.Get("menu.asp?stored=2");
  EXPECT_THAT(gallery->body, HasSubstr("<p id=\"message\" class=\"message\">Uploaded 2 photos.</p>"));
  EXPECT_THAT(ShownNames(gallery->body), ElementsAre("\xe5\x86\x99.jpg", "one.jpg"));
}

TEST_F(GalleryTest, AChangingPostWithoutTheSessionsTokenIsRefused) {
  Browser browser(server_);
  Browser bob(server_, "bob", "pw");
  ASSERT_EQ(browser.UploaderPost("C:\\p\\kept.jpg", "k")->status, 200);
  const std::string id = browser.Ids().at(0);
  // No token, a wrong one, and the token of another session.
  for (const std::string& token : {std::string(), std::string(64, '0'), bob.csrf()}) {
    SCOPED_TRACE(token);
    EXPECT_EQ(browser.Upload({{"new.jpg", "n"}}, token)->status, 403);
    EXPECT_EQ(browser.Delete(id, token)->status, 403);
    EXPECT_EQ(browser.Delete(id, token, false)->status, 403);
    EXPECT_THAT(Stored(), ElementsAre("kept.jpg"));
  }
}

TEST_F(GalleryTest, EachPageAnswersEachVisitorWithTheSecurityHeaders) {
  Browser alice(server_);
  Browser bob(server_, "bob", "pw");
  HttpTestClient anonymous(server_.port());
  const std::string jpeg = testing::MakeJpeg({.width = 32, .height = 32, .tags = {}});
  ASSERT_EQ(alice.UploaderPost("C:\\p\\private.jpg", jpeg)->status, 200);
  const std::string id = alice.Ids().at(0);
  // "{id}" stands for alice's photo; "page form" posts the form, ended by the visitor's own token.
  const struct {
    Browser* visitor;  // none: no session
    int status;
    std::vector<std::string> pages;
  } rows[] = {
      {&alice,
       200,
       {"", "menu.asp", "photo.asp?id={id}", "image.asp?id={id}", "download.asp?id={id}", "thumb.asp?id={id}",
        "delete.asp?id={id}", "gallery.css", "refused.asp?code=size"}},
      // Ids that are not one of the account's photos.
      {&alice,
       404,
       {"nothing.asp", "image.asp?id=../alice/private.jpg", "image.asp?id=private.jpg",
        "image.asp?id=", "image.asp?id=ABCDEF"}},
      // Another account's id is not found.
      {&bob,
       404,
       {"photo.asp?id={id}", "image.asp?id={id}", "download.asp?id={id}", "thumb.asp?id={id}",
        "delete.asp?id={id}", "delete.asp id={id}&confirm=yes&csrf="}},
      // Pages for people need a session: the gallery is the login page.
      {nullptr, 200, {"menu.asp"}},
      {nullptr, 404, {"image.asp?id=" + std::string(32, 'a')}},
      {nullptr, 403, {"delete.asp id=x"}},
  };
  for (const auto& row : rows) {
    for (std::string page : row.pages) {
      if (const auto at = page.find("{id}"); at != std::string::npos) page.replace(at, 4, id);
      SCOPED_TRACE(std::string(row.visitor == &bob ? "bob " : row.visitor ? "alice " : "") + page);
      const auto space = page.find(' ');
      const std::string path = page.substr(0, space);
      const std::string type = "application/x-www-form-urlencoded";
      std::optional<testing::TestResponse> answer;
      if (space == std::string::npos) {
        answer = row.visitor ? row.visitor->Get(path) : anonymous.Get("/ParvaultAsp2/" + path);
      } else {
        const std::string form = page.substr(space + 1) + (row.visitor ? row.visitor->csrf() : "");
        answer = row.visitor ? row.visitor->Post(path, form, type)
                             : anonymous.Post("/ParvaultAsp2/" + path, form, type);
      }
      ASSERT_TRUE(answer);
      EXPECT_EQ(answer->status, row.status);
      if (!row.visitor && row.status == 200) {
        EXPECT_THAT(answer->body, HasSubstr("logincheck2.asp"));
      }
      EXPECT_THAT(answer->Header("Content-Security-Policy"), HasSubstr("default-src 'none'"));
      EXPECT_EQ(answer->Header("X-Content-Type-Options"), "nosniff");
      EXPECT_EQ(answer->Header("Referrer-Policy"), "same-origin");
    }
  }
  EXPECT_EQ(alice.Ids(), std::vector<std::string>{id}) << "bob's delete took nothing";
}

TEST_F(GalleryTest, ThumbnailsComeUprightAndANonImageGetsATile) {
  Browser browser(server_);
  // 200 x 100 as stored, to be shown turned a quarter: 100 wide, 200 high.
  const auto ids = UploadAll(
      browser, {{"turned.jpg",
                 testing::MakeJpeg({.width = 200, .height = 100, .tags = {{"Exif.Image.Orientation", "6"}}})},
                {"flat.jpg", testing::MakeJpeg({.width = 200, .height = 100, .tags = {}})},
                {"notes.txt", "text"},
                {"broken.jpg", "\xFF\xD8\xFF broken"}});
  const auto turned = browser.Get("thumb.asp?id=" + ids[0]);
  ASSERT_EQ(turned->Header("Content-Type"), "image/jpeg");
  const auto turnedShape = testing::ShapeOf(turned->body);
  ASSERT_GT(turnedShape.width, 0);
  EXPECT_LT(turnedShape.width, turnedShape.height);
  const auto flatShape = testing::ShapeOf(browser.Get("thumb.asp?id=" + ids[1])->body);
  ASSERT_GT(flatShape.width, 0);
  EXPECT_GT(flatShape.width, flatShape.height);
  for (const std::string& id : {ids[2], ids[3]}) {
    const auto tile = browser.Get("thumb.asp?id=" + id);
    EXPECT_EQ(tile->status, 200);
    EXPECT_EQ(tile->Header("Content-Type"), "image/svg+xml");
  }
  // Made once, then served from disk.
  EXPECT_EQ(browser.Get("thumb.asp?id=" + ids[0])->body, turned->body);
}

// While another server holds the claim on making a thumbnail, a request waits for it and then
// answers the tile, not to be kept; once the claim is given up, the next request makes it.
TEST(GalleryThumbnailClaimTest, AThumbnailClaimedElsewhereIsWaitedForThenMadeWhenGivenUp) {
  state::LibraryState* library = nullptr;
  ParvaultTestServer server({}, [&](ParvaultServerOptions& o) {
    o.thumbnailWait = std::chrono::milliseconds(300);
    o.openState = [&](const std::filesystem::path& storage, const StateLog& log, std::string& error) {
      auto opened = OpenSqliteStateIn(storage, log, error);
      library = opened.get();
      return opened;
    };
  });
  Browser browser(server);
  ASSERT_EQ(browser.UploaderPost("C:\\p\\a.jpg", testing::MakeJpeg({}))->status, 200);
  const std::string id = browser.Ids().at(0);
  state::ThumbnailTurn turn = state::ThumbnailTurn::kAnothers;
  ASSERT_EQ(library->ClaimThumbnail("alice", id, state::NowMs(), turn), state::Outcome::kDone);
  ASSERT_EQ(turn, state::ThumbnailTurn::kYours);
  const auto tile = browser.Get("thumb.asp?id=" + id);
  EXPECT_EQ(tile->Header("Content-Type"), "image/svg+xml");
  EXPECT_EQ(tile->Header("Cache-Control"), "no-store");
  ASSERT_EQ(library->ReleaseThumbnail("alice", id), state::Outcome::kDone);
  const auto made = browser.Get("thumb.asp?id=" + id);
  EXPECT_EQ(made->Header("Content-Type"), "image/jpeg");
  EXPECT_EQ(made->Header("Cache-Control"), "private, max-age=86400");
  EXPECT_TRUE(server.WaitForLog("thumbnail not ready", 1));
  EXPECT_TRUE(server.WaitForLog("thumbnail made", 1));
}

TEST(GalleryHostileTest, AFormBodyPastItsBoundIsCutOffAndStoresNothing) {
  ParvaultTestServer server({}, [](ParvaultServerOptions& o) { o.maxFileSize = 1000; });
  Browser browser(server);
  // Bytes after the closing line: no part holds them, the connection's bound still counts them.
  const std::string body = BrowserForm(browser.csrf(), {{"a.jpg", "tiny"}}) + std::string(4u << 20, 'z');
  testing::RawConnection connection(server.port());
  std::string answer;
  std::thread reader([&] { answer = connection.ReadUntilClosed(std::chrono::seconds(10)); });
  connection.Send(testing::RawPost("/ParvaultAsp2/upload.asp",
                                   "Content-Type: multipart/form-data; boundary=" + std::string(kBoundary) +
                                       "\r\nCookie: " + browser.cookie() + "\r\n",
                                   body));
  reader.join();
  // Past the bound the connection is dropped without lingering: whatever answer arrives, none tells of a
  // stored file.
  EXPECT_THAT(testing::ParseRawResponse(answer).headerBlock, Not(HasSubstr("stored=1")));
  EXPECT_TRUE(FolderNames(server.folderOf("alice")).empty());
}

TEST(QuotaTest, AnUploadPastTheQuotaIsRefusedWithItsReason) {
  ParvaultTestServer server({}, [](ParvaultServerOptions& o) { o.quota = 100; });
  Browser browser(server);
  EXPECT_EQ(browser.UploaderPost("C:\\p\\first.jpg", std::string(60, 'f'))->status, 200);
  const auto refused = browser.UploaderPost("C:\\p\\second.jpg", std::string(41, 's'));
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 302);
  EXPECT_EQ(refused->Header("Location"), "refused.asp?code=quota");
  // 保存容量の上限(100 Byte)を越えます, in CP932.
  EXPECT_EQ(testing::ReasonAfterMarker(browser.Get("refused.asp?code=quota")->body),
            "\x95\xdb\x91\xb6\x97\x65\x97\xca\x82\xcc\x8f\xe3\x8c\xc0(100 "
            "Byte)\x82\xf0\x89\x7a\x82\xa6\x82\xdc\x82\xb7");
  EXPECT_EQ(browser.UploaderPost("C:\\p\\third.jpg", std::string(40, 't'))->status, 200);
  // The browser's form counts against the same quota.
  const auto form = browser.Upload({{"big.jpg", "bb"}});
  EXPECT_EQ(form->Header("Location"), "menu.asp?stored=0&refused=1&why=quota");
  EXPECT_THAT(browser.Get("menu.asp?stored=0&refused=1&why=quota")->body,
              HasSubstr("1 file was not stored: your photos would take more than your 100 bytes."));
  EXPECT_THAT(FolderNames(server.folderOf("alice")), ElementsAre("first.jpg", "third.jpg"));
}

}  // namespace
}  // namespace wharfling::server
