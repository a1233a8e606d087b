// Ctrl-C during wharfling upload while the site drips its answer to the second of five photos (a
// byte every half second, which no limit would end for half a minute): the first Ctrl-C fails that
// photo at once and the run tries the sign-out (stuck: its 3 s limit ends it) and saves; a second one
// during the sign-out quits.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

#include "tests/support/fake_parvault.h"
#include "tests/support/started_command.h"
#include "tests/support/temp_dir.h"

namespace wharfling::testing {
namespace {

constexpr std::string_view kNotice =
    "cancelling: the file in flight fails, then the run signs out and saves; press Ctrl-C again to quit "
    "at once\n";

struct InterruptCase {
  std::string name;
  int interrupts = 1;
};

class CancelCli : public ::testing::TestWithParam<InterruptCase> {};

TEST_P(CancelCli, CtrlCWhileTheSecondOfFivePhotosIsAnsweredByADrip) {
  const int interrupts = GetParam().interrupts;
  TempDir dir;
  FakeParvault site("parvault.intranet.example:8780", "/ParvaultAsp2");
  dir.WriteFile("config/wharfling.ini", "[Settings]\nSelect001=2\nId002=alice\nPw002=secret\n");
  dir.WriteFile("config/endpoints.ini", "[Endpoints]\ninhouse.server=parvault.intranet.example:8780\n");
  int uploads = 0;
  site.ScriptUploads([&](const FakeParvault::Upload&) {
    FakeParvault::Answer answer;
    if (++uploads == 2) answer.kind = FakeParvault::Answer::kDrip;
    return answer;
  });

  // A sign-out that never answers: its own limit ends it, and a second Ctrl-C can come during it.
  site.InjectFault("/logout2.asp", SiteFault::kStuckReply);

  std::vector<std::string> arguments{"upload", "--json"};
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"})
    arguments.push_back(dir.WriteFile(name, "photo"));
  StartedCommand program({"WHARFLING_CONFIG_DIR=" + (dir.path() / "config").string(),
                          "WHARFLING_CONNECT_TO=" + site.ConnectTo()},
                         WHARFLING_CLI, arguments);
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (site.Uploads().size() < 2 && std::chrono::steady_clock::now() < giveUp) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(site.Uploads().size(), 2u);
  const auto interrupted = std::chrono::steady_clock::now();
  ::kill(program.pid(), SIGINT);
  if (interrupts == 2) {
    ASSERT_TRUE(program.WaitForError(kNotice));
    ::kill(program.pid(), SIGINT);
  }
  const auto end = program.Wait();
  EXPECT_LT(std::chrono::steady_clock::now() - interrupted, std::chrono::seconds(5));

  EXPECT_EQ(site.Uploads().size(), 2u);
  const std::string logout = "GET /ParvaultAsp2/logout2.asp?user=alice&pw=secret";
  if (interrupts == 2) {
    EXPECT_EQ(end.signal, SIGINT) << "the second Ctrl-C ends it as SIGINT does, during the sign-out";
    EXPECT_EQ(end.out, "") << "no report, nothing saved";
    return;
  }
  ASSERT_EQ(end.status, 1) << end.err;
  EXPECT_EQ(site.RequestLines().back(), logout) << "a cancelled run still signs out";
  const auto json = nlohmann::json::parse(end.out);
  std::vector<std::string> statuses;
  for (const auto& row : json["rows"]) statuses.push_back(row["status"]);
  EXPECT_EQ(statuses, (std::vector<std::string>{"成功", "---失敗---", "--", "--", "--"}));
  EXPECT_EQ(json["rows"][1]["error"], "cancelled");
  EXPECT_EQ(json["progress"], 2);
  EXPECT_EQ(json["cancelled"], true);
  EXPECT_EQ(end.err.find(kNotice), end.err.rfind(kNotice)) << "the notice comes once";
  EXPECT_NE(end.err.find("wharfling upload: cancelled; 3 file(s) not sent\n"), std::string::npos) << end.err;
}

INSTANTIATE_TEST_SUITE_P(Interrupts, CancelCli,
                         ::testing::Values(InterruptCase{"Once", 1}, InterruptCase{"Twice", 2}),
                         [](const auto& param) { return param.param.name; });

}  // namespace
}  // namespace wharfling::testing
