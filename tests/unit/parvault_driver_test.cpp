// The Parvault driver end to end: the dialog and the real curl transport against a fake site on
// loopback where the wire or a broken server is the point, and against parvault-server elsewhere.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/driver_suite.h"
#include "tests/support/fake_parvault.h"
#include "tests/support/parvault_server_run.h"
#include "ui/controls.h"

namespace wharfling {
namespace {

using posix::Utf8ToCp932;
using testing::DriverCase;
using testing::DriverCaseName;
using testing::DriverRun;
using testing::DriverSuite;
using testing::FakeParvault;
using testing::ParvaultServerRun;
using testing::ParvaultTestServer;
using testing::SiteFault;

constexpr const char* kServiceHost = "www.parvault.example";

struct ParvaultSite {
  ParvaultSite(std::string host, std::string basePath) : fake(std::move(host), std::move(basePath)) {}
  FakeParvault fake;
};

// One dialog over some photos, talking to a fake Parvault through curl.
class ParvaultRun : private ParvaultSite, public DriverRun {
 public:
  explicit ParvaultRun(int site = 1, std::string host = kServiceHost, std::string basePath = "",
                       std::string systemProxy = "")
      : ParvaultSite(std::move(host), std::move(basePath)), DriverRun(site, fake, std::move(systemProxy)) {
    if (site == 2) endpoints.Override("inhouse.server", "intranet.example:8080");
  }
  FakeParvault& site() { return fake; }
};

DriverCase ParvaultCase() {
  DriverCase c;
  c.name = "Parvault";
  c.site = 1;
  c.makeSite = [](const testing::SiteAccount& account) {
    auto site = std::make_unique<FakeParvault>(kServiceHost, "");
    site->SetAccount(account.id, account.password);
    return site;
  };
  c.signInFailedMessage = "ログインに失敗しました。IDまたはパスワードが間違っていないか確認ください。";
  c.uploadPath = "/InsertFile.asp";
  return c;
}

INSTANTIATE_TEST_SUITE_P(Parvault, DriverSuite, ::testing::Values(ParvaultCase()), DriverCaseName);

TEST(ParvaultDriver, ServiceRunSignsInUploadsSignsOutAndSaves) {
  ParvaultRun run;
  const auto a = run.AddPhoto("a.jpg", 10);
  run.AddPhoto("b.jpg", 20);
  run.Open();
  run.Press();

  EXPECT_EQ(run.site().RequestLines(), run.site().Walk().Over({"a.jpg", "b.jpg"}));
  const auto requests = run.site().Requests();
  // The service's login form, byte for byte, with its referer.
  EXPECT_EQ(requests[1].http.body,
            "username=alice&password=secret&login=\x83\x8D\x83\x4F\x83\x43\x83\x93&Image1.x=35&Image1.y=14");
  EXPECT_EQ(requests[1].http.Header("Referer"), "http://www.parvault.example/INDEX.HTM");
  EXPECT_EQ(requests[1].http.Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(run.site().LoginForms(), std::vector<int>{1});

  const auto uploads = run.site().Uploads();
  ASSERT_EQ(uploads.size(), 2u);
  EXPECT_EQ(uploads[0].fileName, a) << "the full local path is the file name";
  EXPECT_EQ(uploads[0].bytes, std::string(10, 'p'));
  EXPECT_EQ(uploads[0].fieldNames,
            (std::vector<std::string>{"FileID", "CompressFlg", "SplitNo", "version", "DataFile"}));

  EXPECT_EQ(run.Statuses(), (std::vector<std::string>{"成功", "成功"}));
  EXPECT_EQ(run.view.progressPosition(), 2);
  EXPECT_TRUE(run.Messages().empty());
  EXPECT_EQ(run.store.writes,
            (std::vector<std::string>{"Settings/Select001", "Settings/ParvaultD", "Settings/ParvaultW"}));
  EXPECT_TRUE(run.ControlsEnabled());
}

TEST(ParvaultDriver, OnlyTheAfterLoginPageAndTheSignOutGoThroughTheSystemProxy) {
  testing::LoopbackServer proxy(
      [](const testing::RecordedRequest&) { return testing::Reply::Ok("proxied"); });
  ParvaultRun run(1, kServiceHost, "", "http://127.0.0.1:" + std::to_string(proxy.port()));
  run.AddPhoto("a.jpg");
  run.Open();
  run.Press();
  std::vector<std::string> proxied;
  for (const auto& request : proxy.requests()) proxied.push_back(request.method + " " + request.target);
  EXPECT_EQ(proxied,
            (std::vector<std::string>{"GET http://www.parvault.example/menu.asp",
                                      "GET http://www.parvault.example/logout2.asp?user=alice&pw=secret"}));
  EXPECT_EQ(run.site().RequestLines(),
            (std::vector<std::string>{"GET /", "POST /logincheck2.asp", "POST /InsertFile.asp"}));
  EXPECT_EQ(run.Statuses(), std::vector<std::string>{"成功"});
}

TEST(ParvaultDriver, InHouseServerGetsItsOwnFormBelowItsFolder) {
  ParvaultRun run(2, "intranet.example:8080", "/ParvaultAsp2");
  run.AddPhoto("a.jpg");
  run.Open();
  run.Press();
  const auto lines = run.site().RequestLines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "GET /ParvaultAsp2");
  EXPECT_EQ(lines[2], "GET /ParvaultAsp2/menu.asp");
  EXPECT_EQ(run.site().Requests()[1].http.body, "username=alice&password=secret&x=52&y=15");
  EXPECT_EQ(run.site().Requests()[1].http.Header("Referer"),
            "http://intranet.example:8080/ParvaultAsp2/INDEX.HTM");
  EXPECT_EQ(run.Statuses(), std::vector<std::string>{"成功"});
  EXPECT_EQ(run.store.writes,
            (std::vector<std::string>{"Settings/Select001", "Settings/Id002", "Settings/Pw002"}));
}

TEST(ParvaultDriver, UidChoosesTheFormWhateverTheDestination) {
  ParvaultRun run;
  run.store.values[{"Settings", "Uid001"}] = 2;
  run.AddPhoto("a.jpg");
  run.Open();
  run.Press();
  EXPECT_EQ(run.site().LoginForms(), std::vector<int>{2});
}

TEST(ParvaultDriver, RefusedLoginsEndTheRunUntouched) {
  const struct {
    std::optional<std::string> failureLocation;
  } cases[] = {{"Error.ASP"}, {"error.asp"}, {std::nullopt}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failureLocation.value_or("(none)"));
    ParvaultRun run;
    run.site().SetLoginLocations("menu.asp", c.failureLocation);
    run.SetAccount("alice", "wrong");
    run.AddPhoto("a.jpg");
    run.Open();
    run.Press();
    EXPECT_EQ(run.Messages(),
              std::vector<std::string>{
                  "ログインに失敗しました。IDまたはパスワードが間違っていないか確認ください。"});
    EXPECT_EQ(run.Statuses(), std::vector<std::string>{"--"});
    EXPECT_EQ(run.view.progressPosition(), 0);
    EXPECT_TRUE(run.store.writes.empty()) << "a failed sign-in saves nothing";
    EXPECT_TRUE(run.ControlsEnabled());
    EXPECT_EQ(run.site().RequestLines().size(), 2u);
    EXPECT_FALSE(run.dialog->lastRunSignedIn());
  }
}

TEST(ParvaultDriver, LoginTargetWithALeadingSlashIsASuccess) {
  ParvaultRun run;
  run.site().SetLoginLocations("/Error.ASP", "Error.ASP");
  run.AddPhoto("a.jpg");
  run.Open();
  run.Press();
  EXPECT_EQ(run.site().RequestLines().at(2), "GET //Error.ASP");
  EXPECT_EQ(run.Statuses(), std::vector<std::string>{"成功"});
}

TEST(ParvaultDriver, LoginThatCannotBeSentSaysSo) {
  ParvaultRun run;
  run.site().InjectFault("/logincheck2.asp", SiteFault::kDropConnection);
  run.AddPhoto("a.jpg");
  run.Open();
  run.Press();
  EXPECT_EQ(run.Messages(), std::vector<std::string>{"アカウント送信できません。"});
  EXPECT_EQ(run.Statuses(), std::vector<std::string>{"--"});
  EXPECT_TRUE(run.store.writes.empty());
  EXPECT_TRUE(run.ControlsEnabled());
}

TEST(ParvaultDriver, StatusFollowsTheServersAnswer) {
  using Answer = FakeParvault::Answer;
  const struct {
    Answer answer;
    const char* status;
  } cases[] = {
      {{Answer::kAccept, ""}, "成功"},
      {{Answer::kRefuseWithReason, Utf8ToCp932("容量オーバー")}, "---失敗---[容量オーバー]"},
      {{Answer::kRefuseWithReason, ""}, "---失敗---[]"},
      {{Answer::kRefuseWithoutReason, ""}, "--"},
      {{Answer::kNotOk, ""}, "---失敗---"},
      {{Answer::kNotOkSaying200Ok, ""}, "---失敗---"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    ParvaultRun run;
    run.site().ScriptUploads([&](const FakeParvault::Upload&) { return c.answer; });
    run.AddPhoto("a.jpg");
    run.Open();
    run.Press();
    EXPECT_EQ(run.Statuses(), std::vector<std::string>{c.status});
    EXPECT_EQ(run.view.progressPosition(), 1) << "every handled file moves the bar";
    EXPECT_EQ(run.store.writes.size(), 3u);
  }
}

TEST(ParvaultDriver, SlowEmptyAndBrokenRepliesAreJudgedByTheirHeaders) {
  ParvaultRun run;
  run.AddPhoto("a.jpg");
  run.AddPhoto("b.jpg");
  run.Open();
  run.site().InjectFault("/logincheck2.asp", SiteFault::kSlowReply);
  run.site().InjectFault("/InsertFile.asp", SiteFault::kEmptyReply);
  run.site().InjectFault("/InsertFile.asp", SiteFault::kServerError);
  run.Press();
  // An empty page with "200 OK" is a success whatever it says; a 500 is a failure.
  EXPECT_EQ(run.Statuses(), (std::vector<std::string>{"成功", "---失敗---"}));
  EXPECT_TRUE(run.Messages().empty());
}

TEST(ParvaultDriver, CredentialsAreFormEscapedOnceOnTheWire) {
  ParvaultRun run;
  run.site().SetAccount("a b+c", "p&w=1%;#");
  run.SetAccount("a b+c", "p&w=1%;#");
  run.AddPhoto("a.jpg");
  run.Open();
  run.Press();
  const auto requests = run.site().Requests();
  EXPECT_EQ(requests[1].http.body,
            "username=a%20b%2Bc&password=p%26w%3D1%25%3B%23&login=\x83\x8D\x83\x4F\x83\x43\x83\x93&Image1.x="
            "35&Image1.y=14");
  EXPECT_EQ(requests.back().http.target, "/logout2.asp?user=a%20b%2Bc&pw=p%26w%3D1%25%3B%23");
  EXPECT_EQ(run.Statuses(), std::vector<std::string>{"成功"}) << "the site read the right password";
  EXPECT_EQ(std::get<Text>(run.store.values[{"Settings", "ParvaultW"}]), "p&w=1%;#") << "saved as typed";
}

TEST(ParvaultDriver, LongCredentialsAreSentWhole) {
  ParvaultRun run;
  const std::string id(300, 'i');
  const std::string password(300, 'w');
  run.site().SetAccount(id, password);
  run.SetAccount(id, password);
  run.AddPhoto("a.jpg");
  run.Open();
  run.Press();
  EXPECT_EQ(run.site().Requests()[1].http.body.size(), 58u + 300 + 300) << "58 bytes of fixed text";
  EXPECT_EQ(run.Statuses(), std::vector<std::string>{"成功"});
}

TEST(ParvaultDriver, SecondRunUploadsEverythingAgainAndOverwritesStatuses) {
  ParvaultRun run;
  run.AddPhoto("a.jpg");
  run.AddPhoto("b.jpg");
  int calls = 0;
  run.site().ScriptUploads([&](const FakeParvault::Upload&) {
    return ++calls <= 2 ? FakeParvault::Answer{FakeParvault::Answer::kNotOk, ""} : FakeParvault::Answer{};
  });
  run.Open();
  run.Press();
  EXPECT_EQ(run.Statuses(), (std::vector<std::string>{"---失敗---", "---失敗---"}));
  run.Press();
  EXPECT_EQ(run.Statuses(), (std::vector<std::string>{"成功", "成功"}));
  EXPECT_EQ(run.view.progressPosition(), 2) << "the count starts from 0 again";
  EXPECT_EQ(run.site().Uploads().size(), 4u);
}

// What the real server shows needs no fake: these runs go to parvault-server on loopback.
class ParvaultDriverOnServer : public ::testing::Test {
 protected:
  std::vector<std::string> Stored() const { return testing::FolderNames(server.folderOf("alice")); }

  // Files over 1,000 bytes are refused, with the reason's page, as the uploader gets it.
  ParvaultTestServer server{{}, [](server::ParvaultServerOptions& options) { options.maxFileSize = 1000; }};
  ParvaultServerRun run{server};
};

TEST_F(ParvaultDriverOnServer, FileRemovedOrGrownAfterScreening) {
  const auto removed = run.AddPhoto("a.jpg", 10);
  const auto grown = run.AddPhoto("b.jpg", 10);
  run.AddPhoto("c.jpg", 10);
  run.store.values[{"Settings", "iparvault_maxsize"}] = 100;
  run.Open();
  std::filesystem::remove(removed);
  std::filesystem::resize_file(grown, 101);
  run.Press();
  EXPECT_EQ(run.Statuses(), (std::vector<std::string>{"---失敗---", "--", "成功"}));
  EXPECT_EQ(run.view.progressPosition(), 2) << "the skipped file does not move the bar";
  EXPECT_EQ(Stored(), std::vector<std::string>{"c.jpg"}) << "nothing is sent for a file that cannot be read";
}

TEST_F(ParvaultDriverOnServer, EachFileWritesIntoItsOwnRow) {
  run.AddPhoto("one/a.jpg", 1000);
  run.AddPhoto("two/a.jpg", 1001);
  run.AddPhoto("a.jpg.jpg", 10);
  run.Open();
  run.Press();
  // Rows: a.jpg (one), a.jpg (two), a.jpg.jpg; the second is over the server's limit.
  EXPECT_EQ(run.Statuses(),
            (std::vector<std::string>{"成功", "---失敗---[ファイルサイズが上限(1,000 Byte)を越えています]",
                                      "成功"}));
  EXPECT_EQ(Stored(), (std::vector<std::string>{"a.jpg", "a.jpg.jpg"}));
}

TEST_F(ParvaultDriverOnServer, TypedPasswordIsSavedOnlyAfterASignInThatPasses) {
  run.AddPhoto("a.jpg", 10);
  run.Open();
  run.view.SetControlText(control::kPassword, "typo");
  run.dialog->OnAccountEdited();
  run.Press();
  EXPECT_EQ(
      run.Messages(),
      std::vector<std::string>{"ログインに失敗しました。IDまたはパスワードが間違っていないか確認ください。"});
  EXPECT_TRUE(run.store.writes.empty());
  EXPECT_EQ(run.Saved(true), "secret");
  run.view.SetControlText(control::kPassword, "secret");
  run.dialog->OnAccountEdited();
  run.Press();
  EXPECT_EQ(run.Statuses(), std::vector<std::string>{"成功"});
  EXPECT_EQ(Stored(), std::vector<std::string>{"a.jpg"});
}

}  // namespace
}  // namespace wharfling
