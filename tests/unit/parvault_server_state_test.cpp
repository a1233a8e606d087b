// The server's state as its users meet it: what a restart keeps, what parallel requests cannot
// pass between them, and uploads whose record cannot be written.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "server/state/sqlite_library_state.h"
#include "tests/support/gallery_browser.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_name.h"

namespace wharfling::server {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using wharfling::testing::Browser;
using wharfling::testing::BrowserForm;
using wharfling::testing::FolderNames;
using wharfling::testing::HttpTestClient;
using wharfling::testing::ParvaultTestServer;
using wharfling::testing::TempDir;
using wharfling::testing::TestResponse;

using Adjust = std::function<void(ParvaultServerOptions&)>;

const std::string kFormType = "application/x-www-form-urlencoded";

Adjust InFolder(const std::filesystem::path& storage) {
  return [storage](ParvaultServerOptions& o) { o.storage = storage; };
}

Adjust WithQuota(std::uint64_t quota) {
  return [quota](ParvaultServerOptions& o) { o.quota = quota; };
}

// The two ways a photo arrives: the uploader's InsertFile.asp and the browser's form.
enum class Route { kUploader, kBrowser };

void PrintTo(Route route, std::ostream* out) { *out << (route == Route::kUploader ? "Uploader" : "Browser"); }
const auto kRouteName = [](const auto& param) { return ::testing::PrintToString(param.param); };

// The browser's session on a connection of its own, so that senders can run side by side.
std::optional<TestResponse> SendPhoto(int port, Route route, const Browser& browser, const std::string& name,
                                      const std::string& bytes) {
  HttpTestClient client(port);
  const testing::TestHeaders cookie = {{"Cookie", browser.cookie()}};
  if (route == Route::kUploader) {
    return client.Post("/ParvaultAsp2/InsertFile.asp", cookie, testing::UploaderBody("C:\\p\\" + name, bytes),
                       std::string(testing::kUploaderContentType));
  }
  return client.Post("/ParvaultAsp2/upload.asp", cookie, BrowserForm(browser.csrf(), {{name, bytes}}),
                     "multipart/form-data; boundary=" + std::string(testing::kBoundary));
}

std::uint64_t BytesIn(const std::filesystem::path& folder) {
  std::uint64_t total = 0;
  for (const auto& name : FolderNames(folder)) total += std::filesystem::file_size(folder / name);
  return total;
}

TEST(ServerStateTest, ARestartKeepsABrowserSignedInAndItsFormsValid) {
  TempDir dir;
  std::optional<ParvaultTestServer> server(std::in_place, std::vector<Account>{}, InFolder(dir.path()));
  Browser browser(*server);
  ASSERT_EQ(browser.Upload({{"a.jpg", "aa"}})->status, 303);
  const auto ids = browser.Ids();
  ASSERT_EQ(ids.size(), 1u);
  server.reset();
  server.emplace(std::vector<Account>{}, InFolder(dir.path()));

  HttpTestClient client(server->port());
  const auto page = client.Get("/ParvaultAsp2/menu.asp", {{"Cookie", browser.cookie()}});
  ASSERT_TRUE(page);
  EXPECT_THAT(page->body, HasSubstr("value=\"" + browser.csrf() + "\""));
  const auto deleted = client.Post("/ParvaultAsp2/delete.asp", {{"Cookie", browser.cookie()}},
                                   "id=" + ids[0] + "&csrf=" + browser.csrf() + "&confirm=yes", kFormType);
  ASSERT_TRUE(deleted);
  EXPECT_EQ(deleted->status, 303);
  EXPECT_EQ(deleted->Header("Location"), "menu.asp?deleted=1");
  EXPECT_THAT(FolderNames(server->folderOf("alice")), IsEmpty());
}

class ParallelQuotaTest : public ::testing::TestWithParam<Route> {};

TEST_P(ParallelQuotaTest, TwentyUploadsNeverStoreMoreThanTheQuota) {
  constexpr std::uint64_t kQuota = 10'000'000;
  ParvaultTestServer server({}, WithQuota(kQuota));
  Browser browser(server);
  const std::string bytes(3'000'000, 'p');
  std::vector<std::thread> senders;
  for (int i = 0; i < 20; ++i) {
    senders.emplace_back(
        [&, i] { SendPhoto(server.port(), GetParam(), browser, "p" + std::to_string(i) + ".jpg", bytes); });
  }
  for (auto& sender : senders) sender.join();
  const std::uint64_t stored = BytesIn(server.folderOf("alice"));
  EXPECT_LE(stored, kQuota);
  EXPECT_GE(stored, bytes.size());  // the room there was is not lost to the refused ones
  EXPECT_EQ(browser.Ids().size(), stored / bytes.size());
}

INSTANTIATE_TEST_SUITE_P(Routes, ParallelQuotaTest, ::testing::Values(Route::kUploader, Route::kBrowser),
                         kRouteName);

TEST(ServerStateTest, ParallelWrongGuessesAreCheckedNoMoreThanTheBrakeAllows) {
  ParvaultTestServer server;
  std::atomic<int> checked = 0;
  std::atomic<int> heldBack = 0;
  std::vector<std::thread> guessers;
  for (int i = 0; i < 32; ++i) {
    guessers.emplace_back([&, i] {
      HttpTestClient client(server.port());
      const auto answer = client.Post("/ParvaultAsp2/logincheck2.asp",
                                      "username=alice&password=wrong" + std::to_string(i), kFormType);
      if (answer && answer->status == 302) ++checked;
      if (answer && answer->status == 429) ++heldBack;
    });
  }
  for (auto& guesser : guessers) guesser.join();
  // An account's first five failures cost no wait; every guess is counted before its check.
  EXPECT_GE(checked, 1);
  EXPECT_LE(checked, 5);
  EXPECT_EQ(checked + heldBack, 32);
}

// The database refuses every new photo record, as a full disk would.
void RefuseNewRecords(const std::filesystem::path& storage) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((storage / state::kSqliteStateFileName).c_str(), &db), SQLITE_OK);
  sqlite3_busy_timeout(db, 5000);
  char* message = nullptr;
  const int rc = sqlite3_exec(db,
                              "CREATE TRIGGER refuse_photos BEFORE INSERT ON photos "
                              "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END;",
                              nullptr, nullptr, &message);
  const std::string why = message ? message : "";
  sqlite3_free(message);
  sqlite3_close(db);
  ASSERT_EQ(rc, SQLITE_OK) << why;
}

class UnrecordedUploadTest : public ::testing::TestWithParam<Route> {};

TEST_P(UnrecordedUploadTest, IsRefusedAndLeavesNoFile) {
  ParvaultTestServer server({}, WithQuota(1'000'000));
  Browser browser(server);
  RefuseNewRecords(server.storage());
  const auto answer = SendPhoto(server.port(), GetParam(), browser, "a.jpg", "aaaa");
  ASSERT_TRUE(answer);
  if (GetParam() == Route::kUploader) {
    EXPECT_EQ(answer->Header("Location"), "refused.asp?code=storage");
  } else {
    EXPECT_EQ(answer->Header("Location"), "menu.asp?stored=0&refused=1&why=storage");
  }
  EXPECT_THAT(FolderNames(server.folderOf("alice")), IsEmpty());
  EXPECT_THAT(browser.Ids(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Routes, UnrecordedUploadTest, ::testing::Values(Route::kUploader, Route::kBrowser),
                         kRouteName);

// An old index the server cannot read (a folder in its place, or broken text): its photos still
// show, once each, and can be deleted.
class UnreadableOldIndexTest : public ::testing::TestWithParam<bool> {};

TEST_P(UnreadableOldIndexTest, HidesNoPhoto) {
  TempDir dir;
  const auto folder = dir.path() / "alice";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "old.jpg") << "old";
  if (GetParam()) {
    std::filesystem::create_directory(folder / ".photos.json");
  } else {
    std::ofstream(folder / ".photos.json") << "{\"photos\": [";
  }
  ParvaultTestServer server({}, InFolder(dir.path()));
  Browser browser(server);
  const auto ids = browser.Ids();
  ASSERT_EQ(ids.size(), 1u);
  EXPECT_EQ(browser.Ids(), ids);
  EXPECT_EQ(browser.Get("photo.asp?id=" + ids[0])->status, 200);
  EXPECT_EQ(browser.Delete(ids[0], browser.csrf())->status, 303);
  EXPECT_FALSE(std::filesystem::exists(folder / "old.jpg"));
}

INSTANTIATE_TEST_SUITE_P(Indexes, UnreadableOldIndexTest, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "AFolder" : "BrokenText"; });

// What a browser sends to a page that changes state, and whether it is taken.
struct OriginCase {
  std::string page;
  std::string origin;  // "" none (the uploader)
  bool refused;
};

// The page and where the form came from: "delete_http_evil_example", "logincheck2_none".
std::string Label(const OriginCase& c) {
  return testing::TestName(c.page.substr(0, c.page.find('.')) + " " + (c.origin.empty() ? "none" : c.origin));
}

void PrintTo(const OriginCase& c, std::ostream* out) { *out << Label(c); }

class OriginTest : public ::testing::TestWithParam<OriginCase> {};

TEST_P(OriginTest, AFormFromAnotherSiteIsRefused) {
  ParvaultTestServer server;
  Browser browser(server);
  const std::string self = "http://127.0.0.1:" + std::to_string(server.port());
  testing::TestHeaders headers{{"Cookie", browser.cookie()}};
  if (!GetParam().origin.empty()) {
    headers.push_back({"Origin", GetParam().origin == "self" ? self : GetParam().origin});
  }
  HttpTestClient client(server.port());
  const std::string form = "csrf=" + browser.csrf() + "&username=alice&password=secret";
  const auto answer = client.Post("/ParvaultAsp2/" + GetParam().page, headers, form, kFormType);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status == 403, GetParam().refused) << answer->status;
  // A refused sign-out leaves the session as it was.
  EXPECT_EQ(browser.Get("menu.asp")->body.find("id=\"signout\"") != std::string::npos,
            GetParam().refused || GetParam().page != "logout2.asp");
}

INSTANTIATE_TEST_SUITE_P(Pages, OriginTest,
                         ::testing::ValuesIn(std::vector<OriginCase>{
                             {"delete.asp", "http://evil.example", true},
                             {"delete.asp", "null", true},
                             {"logout2.asp", "http://evil.example", true},
                             {"logincheck2.asp", "https://evil.example", true},
                             {"delete.asp", "http://127.0.0.1:1", true},
                             {"delete.asp", "self", false},
                             {"logout2.asp", "self", false},
                             {"logincheck2.asp", "", false}}),
                         [](const auto& param) { return Label(param.param); });

TEST(BrowserSignOutTest, NeedsTheFormTokenWhileTheUploadersGetStays) {
  ParvaultTestServer server;
  Browser browser(server);
  const auto forged = browser.Post("logout2.asp", "csrf=0000", kFormType);
  EXPECT_EQ(forged->status, 403);
  EXPECT_EQ(browser.Get("menu.asp")->status, 200);
  EXPECT_THAT(browser.Get("menu.asp")->body, HasSubstr("id=\"signout\""));
  const auto signedOut = browser.Post("logout2.asp", "csrf=" + browser.csrf(), kFormType);
  EXPECT_EQ(signedOut->status, 200);
  EXPECT_THAT(browser.Get("menu.asp")->body, Not(HasSubstr("id=\"signout\"")));

  Browser uploader(server);
  EXPECT_EQ(uploader.Get("logout2.asp?id=alice&pw=secret")->status, 200);
  EXPECT_THAT(uploader.Get("menu.asp")->body, Not(HasSubstr("id=\"signout\"")));
}

TEST(BrowserUploadLimitTest, AFormLargerThanTheServerTakesGetsAPageSayingSo) {
  ParvaultTestServer server({}, [](ParvaultServerOptions& o) { o.maxFileSize = 1000; });
  Browser browser(server);
  // Past 20 files of the size limit with their envelopes: declared, never sent.
  const std::string head =
      "POST /ParvaultAsp2/upload.asp HTTP/1.1\r\nHost: 127.0.0.1\r\nCookie: " + browser.cookie() +
      "\r\nContent-Type: multipart/form-data; boundary=" + std::string(testing::kBoundary) +
      "\r\nContent-Length: 99000000\r\n\r\n";
  const auto answer = testing::RawExchange(server.port(), head);
  EXPECT_THAT(answer.statusLine, HasSubstr("413"));
  EXPECT_THAT(answer.body, HasSubstr("up to 20 photos at once, each up to 1,000 bytes"));
  EXPECT_THAT(browser.Get("menu.asp")->body, HasSubstr("Up to 20 photos at once, each up to"));
}

}  // namespace
}  // namespace wharfling::server
