// wharfling upload: the whole job from a terminal, against the shipped server (also in the service's
// place).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/support/command_run.h"
#include "tests/support/file_inspection.h"
#include "tests/support/parvault_test_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_ca.h"

namespace wharfling::testing {
namespace {

class UploadCli : public ::testing::Test {
 protected:
  void Profile(const std::string& ini) { dir.WriteFile("config/wharfling.ini", ini); }
  // The in-house server (destination 2) at server's address, with the account saved unless told.
  void InHouseAt(const ParvaultTestServer& server,
                 const std::string& profile = "[Settings]\nSelect001=2\nId002=alice\nPw002=secret\n") {
    Profile(profile);
    dir.WriteFile("config/endpoints.ini",
                  "[Endpoints]\ninhouse.server=127.0.0.1:" + std::to_string(server.port()) + "\n");
  }
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
  // The service's host name, destination 1, leads to `server`.
  static std::string ServiceEnvironment(const ParvaultTestServer& server) {
    return "WHARFLING_CONNECT_TO=" + ShellQuote(server.ConnectTo("www.parvault.example"));
  }
  CommandResult ToService(const std::string& arguments, const std::string* password = nullptr) {
    return Upload(ServiceEnvironment(service), arguments, password);
  }
  std::vector<std::string> ServiceStored() const { return FolderNames(service.folderOf("alice")); }

  TempDir dir;
  ParvaultTestServer service;
};

TEST_F(UploadCli, UploadsEveryPhotoToTheServiceAndSavesTheAccount) {
  const auto a = dir.WriteFile("photos/a.jpg", "aaa");
  const auto b = dir.WriteFile("photos/b.jpg", "bbbb");
  const std::string password = "secret\n";
  const auto run =
      ToService("--json --id alice --password-stdin " + ShellQuote(a) + " " + ShellQuote(b), &password);
  ASSERT_EQ(run.status, 0) << run.out;
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["rows"],
            (nlohmann::json{
                {{"name", "a.jpg"}, {"path", a}, {"size", 3}, {"status", "成功"}, {"result", "success"}},
                {{"name", "b.jpg"}, {"path", b}, {"size", 4}, {"status", "成功"}, {"result", "success"}}}));
  EXPECT_EQ(json["progress"], 2);
  EXPECT_EQ(json["run_messages"], nlohmann::json::array());
  EXPECT_EQ(json["messages"], nlohmann::json::array()) << "the account came with the command line";
  EXPECT_EQ(json["version"], 1);
  EXPECT_EQ(run.err, "signing in to Parvault (www.parvault.example) as alice\n")
      << "no progress without a tty";
  EXPECT_EQ(ServiceStored(), (std::vector<std::string>{"a.jpg", "b.jpg"}));
  EXPECT_EQ(ReadProfile(), "[Settings]\nSelect001=1\nParvaultD=alice\nParvaultW=secret\n");
}

TEST_F(UploadCli, FailedSignInExitsTwoAndSavesNothing) {
  Profile("[Settings]\nParvaultD=alice\nParvaultW=wrong\n");
  const auto run = ToService("--json " + ShellQuote(dir.WriteFile("a.jpg", "a")));
  EXPECT_EQ(run.status, 2);
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["run_messages"],
            nlohmann::json{"ログインに失敗しました。IDまたはパスワードが間違っていないか確認ください。"});
  EXPECT_EQ(json["rows"][0]["status"], "--");
  EXPECT_EQ(ReadProfile(), "[Settings]\nParvaultD=alice\nParvaultW=wrong\n");
}

TEST_F(UploadCli, SomeFileFailingExitsOne) {
  ParvaultTestServer small({}, [](server::ParvaultServerOptions& options) { options.maxFileSize = 1; });
  Profile("[Settings]\nParvaultD=alice\nParvaultW=secret\n");
  const auto run = Upload(ServiceEnvironment(small), ShellQuote(dir.WriteFile("a.jpg", "a")) + " " +
                                                         ShellQuote(dir.WriteFile("b.jpg", "bb")));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("---失敗---"), std::string::npos) << run.out;
}

TEST_F(UploadCli, BlockedOrAccountlessRunsDoNotStart) {
  EXPECT_EQ(ToService(ShellQuote(dir.WriteFile("a.jpg", "a"))).status, 2) << "no account";
  Profile("[Settings]\nParvaultD=alice\nParvaultW=secret\n");
  EXPECT_EQ(ToService(ShellQuote(dir.path().string())).status, 2) << "nothing to upload";
  EXPECT_TRUE(service.logLines().empty());
  EXPECT_EQ(Upload("", "").status, 64);
  EXPECT_EQ(Upload("", "--bogus a.jpg").status, 64);
}

TEST_F(UploadCli, SiteChooserAnsweredOnTheCommandLine) {
  Profile("[Settings]\nSelect001=3\nParvaultD=alice\nParvaultW=secret\n[Mode]\nmulti=1\n");
  const auto run = ToService("--json --site-entry 0 " + ShellQuote(dir.WriteFile("a.jpg", "a")));
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(ReadProfile().find("Select001=1"), std::string::npos);
}

TEST_F(UploadCli, InHouseServerStoresWhatItReceives) {
  ParvaultTestServer server;
  InHouseAt(server);
  const auto photo = dir.WriteFile("holiday/beach.jpg", std::string(5000, 'b'));
  const auto again = dir.WriteFile("other/beach.jpg", std::string(10, 'c'));
  const auto run = Upload("", "--json " + ShellQuote(photo) + " " + ShellQuote(again));
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(std::filesystem::file_size(server.folderOf("alice") / "beach.jpg"), 5000u);
  EXPECT_EQ(std::filesystem::file_size(server.folderOf("alice") / "beach (2).jpg"), 10u)
      << "nothing overwritten";
}

TEST_F(UploadCli, InHouseServerOverHttpsTakesAnHttpsUrl) {
  const TestCa ca({"localhost"});
  const auto cert = dir.WriteFile("tls/cert.pem", ca.serverCertPem());
  const auto key = dir.WriteFile("tls/key.pem", ca.serverKeyPem());
  ParvaultTestServer server({}, [&](server::ParvaultServerOptions& options) {
    options.tlsCertFile = cert;
    options.tlsKeyFile = key;
  });
  Profile("[Settings]\nSelect001=2\nId002=alice\nPw002=secret\nUrl002=https://127.0.0.1:" +
          std::to_string(server.port()) + "/ParvaultAsp2\n");
  const auto photo = dir.WriteFile("photos/harbour.jpg", std::string(3000, 'h'));
  const auto run =
      Upload("WHARFLING_CA_FILE=" + ShellQuote(ca.caBundlePath()), "--json " + ShellQuote(photo));
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(std::filesystem::file_size(server.folderOf("alice") / "harbour.jpg"), 3000u);
}

TEST_F(UploadCli, InHouseServerRefusalReasonReachesTheRow) {
  ParvaultTestServer server({}, [](server::ParvaultServerOptions& options) { options.maxFileSize = 100; });
  InHouseAt(server);
  const auto run = Upload("", "--json " + ShellQuote(dir.WriteFile("big.jpg", std::string(101, 'x'))));
  EXPECT_EQ(run.status, 1);
  const auto row = nlohmann::json::parse(run.out)["rows"][0];
  const auto status = row["status"].get<std::string>();
  EXPECT_TRUE(status.starts_with("---失敗---[") && status.ends_with("]") && status.size() > 20) << status;
  EXPECT_EQ(row["result"], "failed");
  EXPECT_EQ("---失敗---[" + row["reason"].get<std::string>() + "]", status);
}

TEST_F(UploadCli, DestinationOnTheCommandLineTakesTheAccountThereAndSavesItWithTheSelection) {
  ParvaultTestServer server;
  const std::string port = std::to_string(server.port());
  InHouseAt(server, "[Settings]\nParvaultD=bob\n");
  const std::string password = "secret\n";
  const auto run = Upload(
      "", "--json --destination 2 --id alice --password-stdin " + ShellQuote(dir.WriteFile("a.jpg", "abc")),
      &password);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["destination"], (nlohmann::json{{"index", 2},
                                                 {"caption", "社内Parvault"},
                                                 {"host", "127.0.0.1:" + port},
                                                 {"max_file_size", 4000000}}));
  EXPECT_EQ(json["messages"], nlohmann::json::array());
  EXPECT_EQ(run.err, "signing in to 社内Parvault (127.0.0.1:" + port + ") as alice\n");
  EXPECT_EQ(ReadProfile(), "[Settings]\nParvaultD=bob\nSelect001=2\nId002=alice\nPw002=secret\n");
}

TEST_F(UploadCli, NamesShiftJisCannotHoldArriveConvertedCharacterByCharacter) {
  ParvaultTestServer server;
  InHouseAt(server);
  const struct {
    const char* name;
    const char* stored;
  } cases[] = {{"café.jpg", "cafe.jpg"}, {"한국.jpg", "??.jpg"}, {"写真😀.jpg", "写真?.jpg"}};
  std::string paths;
  for (const auto& c : cases)
    paths += " " + ShellQuote(dir.WriteFile(std::string("photos/") + c.name, c.name));
  const auto run = Upload("", "--json" + paths);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  for (const auto& c : cases) {
    EXPECT_EQ(std::filesystem::file_size(server.folderOf("alice") / c.stored), std::string(c.name).size())
        << c.stored;
  }
}

TEST_F(UploadCli, EveryInputExcludedIsListedWithItsReason) {
  Profile("[Settings]\nParvaultD=alice\nParvaultW=secret\nSize=3\n");
  std::filesystem::create_directories(dir.path() / "album");
  const std::string folder = (dir.path() / "album").string();
  const std::string missing = (dir.path() / "gone.jpg").string();
  const std::string big = dir.WriteFile("big.jpg", "xxxx");
  const std::string paths = ShellQuote(folder) + " " + ShellQuote(missing) + " " + ShellQuote(big);

  const auto json = Upload("", "--json " + paths);
  EXPECT_EQ(json.status, 2);
  const auto report = nlohmann::json::parse(json.out);
  EXPECT_EQ(report["rows"], nlohmann::json::array());
  EXPECT_EQ(report["messages"], nlohmann::json::array()) << "a blocked dialog shows no message";
  EXPECT_EQ(
      report["skipped"],
      (nlohmann::json{
          {{"path", folder}, {"kind", "folder"}, {"reason", folder + "は、フォルダなので無視されます。"}},
          {{"path", missing}, {"kind", "unreadable"}, {"reason", missing + "は、読み込めませんでした。"}},
          {{"path", big},
           {"kind", "too-large"},
           {"size", 4},
           {"reason",
            "ﾌｧｲﾙｻｲｽﾞが、3[Byte]を越えるもの[4]、またはフォルダはｱｯﾌﾟﾛｰﾄﾞ対象から除外されました。"}}}));

  const auto text = Upload("", paths);
  EXPECT_EQ(text.status, 2);
  for (const std::string& line :
       {"skipped " + folder + ": a folder\n", "skipped " + missing + ": cannot be read\n",
        "skipped " + big + ": too large (4 bytes, the limit is 3)\n"}) {
    EXPECT_NE(text.out.find(line), std::string::npos) << line << text.out;
  }
}

TEST_F(UploadCli, UnusableSettingsStopTheRunBeforeSigningIn) {
  const struct {
    const char* file;
    const char* contents;
    std::string named;
  } cases[] = {
      {"config/wharfling.ini", "[Settings]\nParvaultD=alice\nnot a value line\n", "wharfling.ini:3: "},
      {"config/endpoints.ini", "[Endpoints]\nparvault.webb=127.0.0.1:1\n", "parvault.webb"},
  };
  for (const auto& c : cases) {
    dir.WriteFile(c.file, c.contents);
    const std::string password = "secret\n";
    const auto run =
        ToService("--id alice --password-stdin " + ShellQuote(dir.WriteFile("a.jpg", "a")), &password);
    EXPECT_EQ(run.status, 78) << c.file;
    EXPECT_NE(run.err.find(c.named), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    std::filesystem::remove(dir.path() / c.file);
  }
  EXPECT_TRUE(service.logLines().empty());
}

TEST_F(UploadCli, ProgressLinesOnlyWhenAskedForWithoutATerminal) {
  Profile("[Settings]\nParvaultD=alice\nParvaultW=secret\n");
  const std::string photo = ShellQuote(dir.WriteFile("a.jpg", "a"));
  EXPECT_EQ(ToService(photo).err.find("[1/1]"), std::string::npos);
  EXPECT_NE(ToService("--progress " + photo).err.find("[1/1] a.jpg  成功\n"), std::string::npos);

  // A file over 1 MB also shows its bytes as they go, a line per tenth at most, ending with all of it.
  Profile("[Settings]\nParvaultD=alice\nParvaultW=secret\nSize=8000000\n");
  const std::string large = ShellQuote(dir.WriteFile("large.jpg", std::string(3'000'000, 'l')));
  const std::string err = ToService("--progress " + large).err;
  const std::size_t done = err.find("large.jpg: 3.0 MB of 3.0 MB, ");
  ASSERT_NE(done, std::string::npos) << err;
  EXPECT_LT(err.find("[1/1] large.jpg  成功\n"), std::string::npos);
  EXPECT_LT(done, err.find("[1/1] large.jpg"));
  std::size_t lines = 0;
  for (std::size_t at = err.find("large.jpg: "); at != std::string::npos;
       at = err.find("large.jpg: ", at + 1))
    ++lines;
  EXPECT_LE(lines, 10u) << err;
}

}  // namespace
}  // namespace wharfling::testing
