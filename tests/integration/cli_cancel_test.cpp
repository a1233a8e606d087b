// Ctrl-C during wharfling upload, sent when the in-house site has received the second of five
// photos and before it answers: the first stops the run after that file, the second quits at once.

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <future>
#include <nlohmann/json.hpp>

#include "tests/support/fake_parvault.h"
#include "tests/support/started_command.h"
#include "tests/support/temp_dir.h"

namespace wharfling::testing {
namespace {

constexpr std::string_view kNotice = "cancelling after the current file; press Ctrl-C again to quit now\n";

struct InterruptCase {
  std::string name;
  int interrupts = 1;
};

class CancelCli : public ::testing::TestWithParam<InterruptCase> {};

TEST_P(CancelCli, CtrlCWhileTheSecondOfFivePhotosIsInFlight) {
  const int interrupts = GetParam().interrupts;
  TempDir dir;
  FakeParvault site("parvault.intranet.example:8780", "/ParvaultAsp2");
  dir.WriteFile("config/wharfling.ini", "[Settings]\nSelect001=2\nId002=alice\nPw002=secret\n");
  dir.WriteFile("config/endpoints.ini", "[Endpoints]\ninhouse.server=parvault.intranet.example:8780\n");

  std::promise<StartedCommand*> started;
  std::shared_future<StartedCommand*> command = started.get_future().share();
  std::atomic<int> uploads = 0;
  site.ScriptUploads([&](const FakeParvault::Upload&) {
    if (++uploads != 2) return FakeParvault::Answer{};
    StartedCommand* program = command.get();
    for (int i = 0; i < interrupts; ++i) {
      ::kill(program->pid(), SIGINT);
      // The program has taken the first one in before it reads this upload's answer.
      if (i == 0) {
        EXPECT_TRUE(program->WaitForError(kNotice));
      }
    }
    return FakeParvault::Answer{};
  });

  std::vector<std::string> arguments{"upload", "--json"};
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"})
    arguments.push_back(dir.WriteFile(name, "photo"));
  StartedCommand program({"WHARFLING_CONFIG_DIR=" + (dir.path() / "config").string(),
                          "WHARFLING_CONNECT_TO=" + site.ConnectTo()},
                         WHARFLING_CLI, arguments);
  started.set_value(&program);
  const auto end = program.Wait();

  EXPECT_EQ(site.Uploads().size(), 2u);
  const std::string logout = "GET /ParvaultAsp2/logout2.asp?user=alice&pw=secret";
  if (interrupts == 2) {
    EXPECT_EQ(end.signal, SIGINT) << "the second Ctrl-C ends it as SIGINT does";
    EXPECT_NE(site.RequestLines().back(), logout);
    return;
  }
  ASSERT_EQ(end.status, 1) << end.err;
  EXPECT_EQ(site.RequestLines().back(), logout) << "a cancelled run still signs out";
  const auto json = nlohmann::json::parse(end.out);
  std::vector<std::string> statuses;
  for (const auto& row : json["rows"]) statuses.push_back(row["status"]);
  EXPECT_EQ(statuses, (std::vector<std::string>{"成功", "成功", "--", "--", "--"}));
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
