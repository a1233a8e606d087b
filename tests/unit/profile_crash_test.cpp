// The profile survives a crash while it is saved: a process killed at any moment leaves exactly the
// old file or the new one, never a mix, a truncated file or nothing. Two programs saving at once
// both keep their values.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "platform/posix/atomic_file.h"
#include "platform/posix/ini_file.h"
#include "platform/posix/ini_settings_store.h"
#include "session/settings.h"
#include "tests/support/file_inspection.h"
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

// A run's end: the destination, its ID and its password, as one save.
void SaveAccount(const std::filesystem::path& folder, std::int32_t site, const std::string& id,
                 const std::string& password) {
  std::ostringstream errors;
  IniSettingsStore store(folder, "wharfling", errors);
  DialogSettings settings;
  LoadSettings(store, EndpointTable::Defaults(), settings);
  settings.siteIndex = site;
  settings.account.id = id;
  settings.account.password = password;
  SaveSettings(store, settings, /*selectionOnly=*/false);
}

IniDocument ProfileOn(const std::filesystem::path& file) {
  const FileContents now = ReadWholeFile(file);
  EXPECT_EQ(now.outcome, FileContents::Outcome::kRead);
  return IniDocument::Parse(now.bytes).value_or(IniDocument());
}

std::vector<std::string> Leftovers(const std::filesystem::path& folder) {
  std::vector<std::string> left;
  for (const auto& name : testing::FolderNames(folder))
    if (name.starts_with(".wharfling.ini.tmp")) left.push_back(name);
  return left;
}

TEST(ProfileCrash, TwoProgramsSavingAtOnceKeepBothAccounts) {
  for (int pair = 0; pair < 40; ++pair) {
    testing::TempDir dir;
    const auto folder = dir.path() / "Ferrowind";
    dir.WriteFile("Ferrowind/wharfling.ini", "[Settings]\nSelect001=1\n");
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    pid_t children[2];
    for (int side = 0; side < 2; ++side) {
      children[side] = ::fork();
      ASSERT_GE(children[side], 0);
      if (children[side] == 0) {
        ::close(start[1]);
        char go;
        // Both start when the pipe closes: the read returns 0 then.
        if (::read(start[0], &go, 1) != 0) ::_exit(2);
        SaveAccount(folder, side + 2, "id" + std::to_string(side), "pw" + std::to_string(side));
        ::_exit(0);
      }
    }
    ::close(start[0]);
    ::close(start[1]);
    for (const pid_t child : children) ::waitpid(child, nullptr, 0);
    const IniDocument profile = ProfileOn(folder / "wharfling.ini");
    EXPECT_EQ(profile.Get("Settings", "Id002"), "id0") << "pair " << pair;
    EXPECT_EQ(profile.Get("Settings", "Pw002"), "pw0") << "pair " << pair;
    EXPECT_EQ(profile.Get("Settings", "Id003"), "id1") << "pair " << pair;
    EXPECT_EQ(profile.Get("Settings", "Pw003"), "pw1") << "pair " << pair;
  }
}

TEST(ProfileCrash, ASignalDuringASaveLeavesAWholeAccountAndTheNextSaveClearsUp) {
  testing::TempDir dir;
  const auto folder = dir.path() / "Ferrowind";
  // Hand-written lines make each save long enough for the signals to land inside them.
  dir.WriteFile("Ferrowind/wharfling.ini", Profile('h', 256 * 1024) + "Id002=u0\nPw002=p0\n");
  std::mt19937 random(20261208);
  int leftBehind = 0;
  for (int run = 0; run < 40; ++run) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int k = 1;; ++k) SaveAccount(folder, 2, "u" + std::to_string(k), "p" + std::to_string(k));
    }
    std::this_thread::sleep_for(std::chrono::microseconds(1000 + random() % 30000));
    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
    const IniDocument profile = ProfileOn(folder / "wharfling.ini");
    const std::string id = profile.Get("Settings", "Id002").value_or("none");
    const std::string password = profile.Get("Settings", "Pw002").value_or("none");
    ASSERT_EQ(id.substr(1), password.substr(1)) << "run " << run << ": " << id << " with " << password;
    leftBehind += !Leftovers(folder).empty();

    SaveAccount(folder, 2, "u0", "p0");
    ASSERT_EQ(Leftovers(folder), std::vector<std::string>()) << "run " << run;
  }
  std::printf("signals that left a temporary file: %d of 40\n", leftBehind);
}

}  // namespace
}  // namespace wharfling::posix
