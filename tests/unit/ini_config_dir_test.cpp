#include "platform/posix/config_dir.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace wharfling::posix {
namespace {

namespace fs = std::filesystem;

TEST(ConfigDirectory, TakesTheFirstUsableSourceInOrder) {
  const passwd* user = ::getpwuid(::getuid());
  ASSERT_NE(user, nullptr);
  const fs::path fromDatabase = fs::path(user->pw_dir) / ".config" / "Ferrowind";
  const struct {
    std::map<std::string, std::string> environment;
    fs::path expected;
  } cases[] = {
      {{{"WHARFLING_CONFIG_DIR", "/own"}, {"XDG_CONFIG_HOME", "/xdg"}, {"HOME", "/home/u"}}, "/own"},
      {{{"WHARFLING_CONFIG_DIR", "relative/own"}, {"HOME", "/home/u"}}, "relative/own"},
      {{{"WHARFLING_CONFIG_DIR", ""}, {"XDG_CONFIG_HOME", "/xdg"}, {"HOME", "/home/u"}}, "/xdg/Ferrowind"},
      {{{"XDG_CONFIG_HOME", "/xdg"}, {"HOME", "/home/u"}}, "/xdg/Ferrowind"},
      {{{"XDG_CONFIG_HOME", ""}, {"HOME", "/home/u"}}, "/home/u/.config/Ferrowind"},
      {{{"XDG_CONFIG_HOME", "relative"}, {"HOME", "/home/u"}}, "/home/u/.config/Ferrowind"},
      {{{"HOME", "/home/u"}}, "/home/u/.config/Ferrowind"},
      {{{"HOME", ""}}, fromDatabase},
      {{}, fromDatabase},
  };
  for (const auto& c : cases) {
    const auto lookup = [&](const char* name) -> std::optional<std::string> {
      const auto found = c.environment.find(name);
      if (found == c.environment.end()) return std::nullopt;
      return found->second;
    };
    EXPECT_EQ(ConfigDirectory(lookup), c.expected) << c.expected;
  }
}

// Sets an environment variable for one scope, restoring what was there.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value, 1);
  }
  ~ScopedVariable() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(ConfigDirectory, ReadsTheProcessEnvironment) {
  ScopedVariable own("WHARFLING_CONFIG_DIR", "/tmp/wharfling-own");
  EXPECT_EQ(ConfigDirectory(), fs::path("/tmp/wharfling-own"));
  ScopedVariable unset("WHARFLING_CONFIG_DIR", "");
  ScopedVariable xdg("XDG_CONFIG_HOME", "/tmp/xdg");
  EXPECT_EQ(ConfigDirectory(), fs::path("/tmp/xdg/Ferrowind"));
}

TEST(ProgramName, IsTheProgramFileNameWithoutExtension) {
  const struct {
    const char* argv0;
    const char* expected;
  } cases[] = {
      {"/usr/bin/wharfling", "wharfling"},
      {"wharfling", "wharfling"},
      {"./wharfling.exe", "wharfling"},
      {"/opt/x/my.tool.bin", "my.tool"},
      {"renamed", "renamed"},
      {nullptr, "wharfling"},
      {"", "wharfling"},
      {"/usr/bin/", "wharfling"},
      {"..", "wharfling"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProgramName(c.argv0), c.expected) << (c.argv0 ? c.argv0 : "(null)");
  }
}

TEST(ProfileSettingsPath, NamesTheIniFileInTheFolder) {
  EXPECT_EQ(ProfileSettingsPath("/cfg/Ferrowind", "wharfling"), fs::path("/cfg/Ferrowind/wharfling.ini"));
}

}  // namespace
}  // namespace wharfling::posix
