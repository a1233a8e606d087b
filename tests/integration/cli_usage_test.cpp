// The programs' command lines as people and scripts use them: help, version, usage errors and
// `wharfling config`.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/command_run.h"
#include "tests/support/file_inspection.h"
#include "tests/support/temp_dir.h"

namespace wharfling::testing {
namespace {

class UsageCli : public ::testing::Test {
 protected:
  CommandResult Wharfling(const std::string& arguments, const std::string* input = nullptr) {
    // No session bus, so no keyring, wherever the tests run.
    return RunCommand(
        "DBUS_SESSION_BUS_ADDRESS= XDG_RUNTIME_DIR= WHARFLING_CONFIG_DIR=" + ShellQuote(Config()),
        WHARFLING_CLI, arguments, input);
  }
  std::string Config() const { return (dir.path() / "config").string(); }

  TempDir dir;
};

TEST_F(UsageCli, HelpGoesToStandardOutputAndIsNoError) {
  const struct {
    const char* arguments;
    const char* starts;
  } cases[] = {
      {"--help", "usage: wharfling COMMAND"},
      {"-h", "usage: wharfling COMMAND"},
      {"help", "usage: wharfling COMMAND"},
      {"help -h", "usage: wharfling COMMAND"},
      {"help upload", "usage: wharfling upload [OPTIONS] PATH..."},
      {"upload --help", "usage: wharfling upload "},
      {"upload -h a.jpg", "usage: wharfling upload "},
      {"screen --help", "usage: wharfling screen "},
      {"config -h", "usage: wharfling config "},
      {"endpoints --help", "usage: wharfling endpoints\n"},
      {"exchange -h", "usage: wharfling exchange "},
      {"send-upload --help", "usage: wharfling send-upload [OPTIONS] URL FILE\n"},
  };
  for (const auto& c : cases) {
    const auto run = Wharfling(c.arguments);
    EXPECT_EQ(run.status, 0) << c.arguments;
    EXPECT_TRUE(run.out.starts_with(c.starts)) << c.arguments << "\n" << run.out;
    EXPECT_EQ(run.err, "") << c.arguments;
  }
  EXPECT_NE(Wharfling("help upload").out.find("  --destination N "), std::string::npos);
}

TEST_F(UsageCli, BothProgramsTellTheirVersion) {
  EXPECT_EQ(Wharfling("--version").out, "wharfling 2.0.0.2\n");
#ifdef PARVAULT_SERVER
  const auto server = RunCommand("", PARVAULT_SERVER, "--version");
  EXPECT_EQ(server.status, 0);
  EXPECT_EQ(server.out, "parvault-server 2.0.0.2\n");
#endif
}

TEST_F(UsageCli, UsageErrorsSayWhatWasWrongAndExitSixtyFour) {
  const struct {
    const char* arguments;
    const char* says;
  } cases[] = {
      {"", "wharfling: missing COMMAND\n"},
      {"frobnicate", "wharfling: unknown command frobnicate\n"},
      {"-q", "wharfling: unknown option -q\n"},
      {"help nosuch", "wharfling: unknown command nosuch\n"},
      {"upload -q a.jpg", "wharfling upload: unknown option -q\n"},
      {"upload --site-entry x a.jpg", "wharfling upload: --site-entry needs a number\n"},
      {"upload a.jpg --site-entry", "wharfling upload: --site-entry needs K\n"},
      {"upload --destination 15 a.jpg", "wharfling upload: --destination needs a number from 1 to 14\n"},
      {"upload --destination 0 a.jpg", "wharfling upload: --destination needs a number from 1 to 14\n"},
      {"upload --id '' a.jpg", "wharfling upload: --id needs a non-empty ID\n"},
      {"upload --destination 2 --site-entry 1 a.jpg",
       "wharfling upload: --destination and --site-entry do not go together\n"},
      {"upload --id me", "wharfling upload: missing PATH\n"},
      {"upload --password-stdin a.jpg",
       "wharfling upload: --password-stdin: no password on standard input\n"},
      {"screen", "wharfling screen: missing PATH\n"},
      {"screen -photo.jpg", "wharfling screen: unknown option -photo.jpg\n"},
      {"screen --json=yes a.jpg", "wharfling screen: --json takes no value\n"},
      {"endpoints extra", "wharfling endpoints: unexpected argument extra\n"},
      {"exchange --method PUT http://x/", "wharfling exchange: --method takes GET or POST\n"},
      {"send-upload --sender parvault http://x/", "wharfling send-upload: missing FILE\n"},
      {"send-upload --sender nosuch http://x/ a", "wharfling send-upload: unknown sender nosuch\n"},
  };
  for (const auto& c : cases) {
    const auto run = Wharfling(c.arguments);
    EXPECT_EQ(run.status, 64) << c.arguments;
    EXPECT_TRUE(run.err.starts_with(c.says)) << c.arguments << "\n" << run.err;
    EXPECT_EQ(run.out, "") << c.arguments;
  }
  const std::string emptyLine = "\n";
  const auto empty = Wharfling("upload --password-stdin a.jpg", &emptyLine);
  EXPECT_EQ(empty.status, 64);
  EXPECT_TRUE(empty.err.starts_with("wharfling upload: --password-stdin: the password line is empty\n"))
      << empty.err;
}

TEST_F(UsageCli, AnArgumentAfterDoubleDashIsAPath) {
  const auto run = Wharfling("screen --json -- -photo.jpg");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(nlohmann::json::parse(run.out)["skipped"][0]["path"], "-photo.jpg");
}

TEST_F(UsageCli, ConfigTellsWhereTheSettingsAreAndWhatIsWrongWithThem) {
  const std::string profile = Config() + "/wharfling.ini";
  const std::string endpoints = Config() + "/endpoints.ini";
  const auto fresh = Wharfling("config");
  EXPECT_EQ(fresh.status, 0);
  EXPECT_EQ(fresh.out,
            "profile    " + profile + " (missing: every setting takes its default)\n" + "endpoints  " +
                endpoints + " (missing: the built-in hosts are used)\n" +
                "passwords  profile file (no session bus)\n" +
                "photos     shrink to fit ([Mode] fit): off; remove location ([Mode] nolocation): off\n");
  dir.WriteFile("config/wharfling.ini", "[Mode]\nkeyring=0\n");
  EXPECT_NE(Wharfling("config").out.find("passwords  profile file ([Mode] keyring=0)\n"), std::string::npos);

  dir.WriteFile("config/wharfling.ini", "[Settings]\nSelect001=2\n= no name\n");
  dir.WriteFile("config/endpoints.ini", "[Endpoints]\ninhouse.server=127.0.0.1:9\n");
  const auto broken = Wharfling("config --json");
  EXPECT_EQ(broken.status, 78);
  const auto json = nlohmann::json::parse(broken.out);
  EXPECT_EQ(json["profile"]["path"], profile);
  EXPECT_EQ(json["profile"]["exists"], true);
  ASSERT_EQ(json["profile"]["problems"].size(), 1u);
  EXPECT_TRUE(json["profile"]["problems"][0].get<std::string>().starts_with(profile + ":3: "));
  EXPECT_EQ(json["endpoints"],
            (nlohmann::json{{"path", endpoints}, {"exists", true}, {"problems", nlohmann::json::array()}}));
  EXPECT_EQ(json["version"], 1);

  dir.WriteFile("config/wharfling.ini", "[Mode]\nfit=1\n");
  const auto photoOptions = Wharfling("config --json");
  EXPECT_EQ(nlohmann::json::parse(photoOptions.out)["photo_options"],
            (nlohmann::json{{"fit", true}, {"nolocation", false}}));
}

// A typo in a value or a header must not quietly send the account elsewhere: every command that
// would send stops, the file is named with its line, and nothing is overwritten.
TEST_F(UsageCli, BadValuesStopTheUploadAndConfigListsThem) {
  const struct {
    const char* file;
    const char* text;
    const char* problem;
  } cases[] = {
      {"wharfling.ini", "[Settings]\nSelect001=two\nId002=me\n",
       "wharfling.ini:2: Select001=two is not a whole"},
      {"endpoints.ini", "[Endpoint]\nparvault.web=127.0.0.1:9\n",
       "endpoints.ini:1: ignoring the section [Endpoint]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    dir.WriteFile(std::string("config/") + c.file, c.text);
    const auto config = Wharfling("config");
    EXPECT_EQ(config.status, 78);
    EXPECT_NE(config.out.find(std::string("  problem: ") + Config() + "/" + c.problem), std::string::npos)
        << config.out;
    const std::string password = "pw\n";
    const auto upload = Wharfling(
        "upload --id me --password-stdin " + ShellQuote(dir.WriteFile("a.jpg", "photo")), &password);
    EXPECT_EQ(upload.status, 78);
    EXPECT_NE(upload.err.find(c.problem), std::string::npos) << upload.err;
    EXPECT_NE(upload.err.find("nothing was sent"), std::string::npos) << upload.err;
    EXPECT_EQ(FileContents(dir.path() / "config" / c.file), c.text) << "nothing is overwritten";
    std::filesystem::remove(dir.path() / "config" / c.file);
  }
}

}  // namespace
}  // namespace wharfling::testing
