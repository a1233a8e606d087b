// The profile survives a crash while it is saved: a process killed at any moment leaves exactly the
// old file or the new one, never a mix, a truncated file or nothing.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "platform/posix/atomic_file.h"
#include "tests/support/temp_dir.h"

namespace wharfling::posix {
namespace {

// Two profiles that differ all through, so that any mix of them is seen.
std::string Profile(char fill, std::size_t bytes) {
  std::string text = "[Settings]\n";
  while (text.size() < bytes)
    text += "Value" + std::to_string(text.size()) + "=" + std::string(40, fill) + "\n";
  return text;
}

TEST(ProfileCrash, AKilledSaveLeavesTheOldOrTheNewFile) {
  testing::TempDir dir;
  const auto path = dir.path() / "config" / "wharfling.ini";
  const std::string older = Profile('o', 64 * 1024);
  const std::string newer = Profile('n', 48 * 1024);
  std::string reason;
  ASSERT_TRUE(ReplaceFileAtomically(path, older, reason)) << reason;
  std::mt19937 random(20240501);
  int sawNewer = 0;
  for (int run = 0; run < 200; ++run) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Saves the old and the new profile in turn until it is killed.
      std::string why;
      for (int i = 0;; ++i) ReplaceFileAtomically(path, i % 2 == 0 ? newer : older, why);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    const FileContents now = ReadWholeFile(path);
    ASSERT_EQ(now.outcome, FileContents::Outcome::kRead) << "run " << run;
    ASSERT_TRUE(now.bytes == older || now.bytes == newer)
        << "run " << run << ": " << now.bytes.size() << " bytes";
    sawNewer += now.bytes == newer;
  }
  EXPECT_GT(sawNewer, 0) << "the kills fell inside saves";
  // A killed save leaves at most its temporary file, hidden beside the profile.
  for (const auto& entry : std::filesystem::directory_iterator(path.parent_path())) {
    if (entry.path() != path) {
      EXPECT_EQ(entry.path().filename().string().front(), '.') << entry.path();
    }
  }
}

}  // namespace
}  // namespace wharfling::posix
