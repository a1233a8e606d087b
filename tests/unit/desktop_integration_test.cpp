// The desktop glue on POSIX: quoting for desktop entries, the system data folders a registration
// defers to, and the default HTML handler's command line that the hyperlink label falls back to.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/desktop_entries.h"
#include "platform/posix/html_handler.h"
#include "tests/support/temp_dir.h"

namespace wharfling::posix {
namespace {

TEST(DesktopExecArgument, QuotesForTheExecKey) {
  const struct {
    const char* path;
    const char* argument;
  } cases[] = {
      {"/usr/bin/wharfling-desktop", "\"/usr/bin/wharfling-desktop\""},
      {"/opt/my apps/w", "\"/opt/my apps/w\""},
      {"/a\"b$c`d", "\"/a\\\\\"b\\\\$c\\\\`d\""},
      {"/x\\y", "\"/x\\\\\\\\y\""},
      {"/100%/w", "\"/100%%/w\""},
  };
  for (const auto& test : cases) EXPECT_EQ(DesktopExecArgument(test.path), test.argument) << test.path;
}

TEST(SystemDataDirs, TakesTheAbsoluteEntriesOfXdgDataDirs) {
  const struct {
    std::optional<std::string> value;
    std::vector<std::filesystem::path> dirs;
  } cases[] = {
      {std::nullopt, {"/usr/local/share", "/usr/share"}},
      {"", {"/usr/local/share", "/usr/share"}},
      {"/opt/share:/usr/share/", {"/opt/share", "/usr/share/"}},
      {"relative/share::/srv/share:", {"/srv/share"}},
      {":relative", {"/usr/local/share", "/usr/share"}},
  };
  for (const auto& test : cases) {
    const EnvironmentLookup environment = [&test](const char* name) -> std::optional<std::string> {
      return std::string(name) == "XDG_DATA_DIRS" ? test.value : std::nullopt;
    };
    EXPECT_EQ(SystemDataDirs(environment), test.dirs) << test.value.value_or("(unset)");
  }
}

TEST(ComposeHandlerCommand, CutsAtTheFirstFieldCode) {
  const struct {
    const char* exec;
    const char* command;
  } cases[] = {
      {"firefox-esr %u", "firefox-esr  http://a.example/"},
      {"/usr/bin/chromium \"%U\" --new-window %f", "/usr/bin/chromium  http://a.example/"},
      {"browser --flag", "browser --flag http://a.example/"},
      {"b %F", "b  http://a.example/"},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(ComposeHandlerCommand(test.exec, "http://a.example/"), test.command) << test.exec;
  }
}

TEST(HtmlHandlerCommand, FollowsMimeappsToTheDesktopEntry) {
  testing::TempDir dir;
  dir.WriteFile("config/mimeapps.list", "[Default Applications]\ntext/html=missing.desktop;web.desktop;\n");
  dir.WriteFile("data/applications/web.desktop", "[Desktop Entry]\nType=Application\nExec=webby --open %u\n");
  const std::map<std::string, std::string> variables{
      {"XDG_CONFIG_HOME", (dir.path() / "config").string()},
      {"XDG_CONFIG_DIRS", (dir.path() / "none").string()},
      {"XDG_DATA_HOME", (dir.path() / "data").string()},
      {"XDG_DATA_DIRS", (dir.path() / "none").string()},
  };
  const EnvironmentLookup environment = [&variables](const char* name) -> std::optional<std::string> {
    const auto found = variables.find(name);
    if (found == variables.end()) return std::nullopt;
    return found->second;
  };
  EXPECT_EQ(HtmlHandlerCommand("http://a.example/", environment), "webby --open  http://a.example/");
  dir.WriteFile("config/mimeapps.list", "[Default Applications]\nimage/png=viewer.desktop\n");
  EXPECT_EQ(HtmlHandlerCommand("http://a.example/", environment), std::nullopt);
}

}  // namespace
}  // namespace wharfling::posix
