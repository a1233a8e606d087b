// wharfling upload: the whole job from a terminal, against a fake Parvault and the shipped server.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/support/command_run.h"
#include "tests/support/fake_parvault.h"
#include "tests/support/parvault_test_server.h"
#include "tests/support/temp_dir.h"

namespace wharfling::testing {
namespace {

class UploadCli : public ::testing::Test {
 protected:
  void Profile(const std::string& ini) { dir.WriteFile("config/wharfling.ini", ini); }
  std::string ReadProfile() const {
    std::ifstream in(dir.path() / "config" / "wharfling.ini");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  CommandResult Upload(const std::string& environment, const std::string& arguments,
                       const std::string* password = nullptr) {
    return RunCommand(
        "WHARFLING_CONFIG_DIR=" + ShellQuote((dir.path() / "config").string()) + " " + environment,
        WHARFLING_CLI, "upload " + arguments, password);
  }
  std::string SiteEnvironment(const FakeSite& site) const {
    return "WHARFLING_CA_FILE=" + ShellQuote(site.CaFile()) +
           " WHARFLING_CONNECT_TO=" + ShellQuote(site.ConnectTo());
  }

  TempDir dir;
};

TEST_F(UploadCli, UploadsEveryPhotoToTheServiceAndSavesTheAccount) {
  FakeParvault site("www.parvault.example", "");
  const auto a = dir.WriteFile("photos/a.jpg", "aaa");
  const auto b = dir.WriteFile("photos/b.jpg", "bbbb");
  const std::string password = "secret\n";
  const auto run =
      Upload(SiteEnvironment(site),
             "--json --id alice --password-stdin " + ShellQuote(a) + " " + ShellQuote(b), &password);
  ASSERT_EQ(run.status, 0) << run.out;
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["rows"], (nlohmann::json{{{"name", "a.jpg"}, {"size", "3"}, {"status", "成功"}},
                                          {{"name", "b.jpg"}, {"size", "4"}, {"status", "成功"}}}));
  EXPECT_EQ(json["progress"], 2);
  EXPECT_EQ(json["run_messages"], nlohmann::json::array());
  EXPECT_EQ(json["messages"], nlohmann::json{"アカウントを設定してください。"})
      << "start-up had no account yet";
  EXPECT_EQ(site.Uploads().size(), 2u);
  EXPECT_EQ(ReadProfile(), "[Settings]\nSelect001=1\nParvaultD=alice\nParvaultW=secret\n");
}

TEST_F(UploadCli, FailedSignInExitsTwoAndSavesNothing) {
  FakeParvault site("www.parvault.example", "");
  Profile("[Settings]\nParvaultD=alice\nParvaultW=wrong\n");
  const auto run = Upload(SiteEnvironment(site), "--json " + ShellQuote(dir.WriteFile("a.jpg", "a")));
  EXPECT_EQ(run.status, 2);
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["run_messages"],
            nlohmann::json{"ログインに失敗しました。IDまたはパスワードが間違っていないか確認ください。"});
  EXPECT_EQ(json["rows"][0]["status"], "--");
  EXPECT_EQ(ReadProfile(), "[Settings]\nParvaultD=alice\nParvaultW=wrong\n");
}

TEST_F(UploadCli, SomeFileFailingExitsOne) {
  FakeParvault site("www.parvault.example", "");
  site.ScriptUploads([](const FakeParvault::Upload& upload) {
    return upload.fileName.ends_with("b.jpg") ? FakeParvault::Answer{FakeParvault::Answer::kNotOk, ""}
                                              : FakeParvault::Answer{};
  });
  Profile("[Settings]\nParvaultD=alice\nParvaultW=secret\n");
  const auto run = Upload(SiteEnvironment(site), ShellQuote(dir.WriteFile("a.jpg", "a")) + " " +
                                                     ShellQuote(dir.WriteFile("b.jpg", "b")));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("---失敗---"), std::string::npos) << run.out;
}

TEST_F(UploadCli, BlockedOrAccountlessRunsDoNotStart) {
  FakeParvault site("www.parvault.example", "");
  EXPECT_EQ(Upload(SiteEnvironment(site), ShellQuote(dir.WriteFile("a.jpg", "a"))).status, 2) << "no account";
  Profile("[Settings]\nParvaultD=alice\nParvaultW=secret\n");
  EXPECT_EQ(Upload(SiteEnvironment(site), ShellQuote(dir.path().string())).status, 2) << "nothing to upload";
  EXPECT_TRUE(site.Requests().empty());
  EXPECT_EQ(Upload("", "").status, 64);
  EXPECT_EQ(Upload("", "--bogus a.jpg").status, 64);
}

TEST_F(UploadCli, SiteChooserAnsweredOnTheCommandLine) {
  FakeParvault site("www.parvault.example", "");
  Profile("[Settings]\nSelect001=3\nParvaultD=alice\nParvaultW=secret\n[Mode]\nmulti=1\n");
  const auto run =
      Upload(SiteEnvironment(site), "--json --site-entry 0 " + ShellQuote(dir.WriteFile("a.jpg", "a")));
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(ReadProfile().find("Select001=1"), std::string::npos);
}

TEST_F(UploadCli, InHouseServerStoresWhatItReceives) {
  ParvaultTestServer server;
  Profile("[Settings]\nSelect001=2\nId002=alice\nPw002=secret\n");
  dir.WriteFile("config/endpoints.ini",
                "[Endpoints]\ninhouse.server=127.0.0.1:" + std::to_string(server.port()) + "\n");
  const auto photo = dir.WriteFile("holiday/beach.jpg", std::string(5000, 'b'));
  const auto again = dir.WriteFile("other/beach.jpg", std::string(10, 'c'));
  const auto run = Upload("", "--json " + ShellQuote(photo) + " " + ShellQuote(again));
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(std::filesystem::file_size(server.folderOf("alice") / "beach.jpg"), 5000u);
  EXPECT_EQ(std::filesystem::file_size(server.folderOf("alice") / "beach (2).jpg"), 10u)
      << "nothing overwritten";
}

TEST_F(UploadCli, InHouseServerRefusalReasonReachesTheRow) {
  ParvaultTestServer server({}, [](server::ParvaultServerOptions& options) { options.maxFileSize = 100; });
  Profile("[Settings]\nSelect001=2\nId002=alice\nPw002=secret\n");
  dir.WriteFile("config/endpoints.ini",
                "[Endpoints]\ninhouse.server=127.0.0.1:" + std::to_string(server.port()) + "\n");
  const auto run = Upload("", "--json " + ShellQuote(dir.WriteFile("big.jpg", std::string(101, 'x'))));
  EXPECT_EQ(run.status, 1);
  const auto status = nlohmann::json::parse(run.out)["rows"][0]["status"].get<std::string>();
  EXPECT_TRUE(status.starts_with("---失敗---[") && status.ends_with("]") && status.size() > 20) << status;
}

}  // namespace
}  // namespace wharfling::testing
