#include "platform/posix/endpoint_overrides.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/temp_dir.h"

namespace wharfling::posix {
namespace {

TEST(EndpointOverrides, AppliesKnownKeysAndReportsTheRest) {
  testing::TempDir dir;
  const auto file = dir.WriteFile("endpoints.ini",
                                  "; local test sites\n[Endpoints]\nhatena.photo=127.0.0.1:9001\n"
                                  "inhouse.server=photos.corp.example\nzorg.nothing=x\nsnapfish.web=a/b\n");
  EndpointTable table = EndpointTable::Defaults();
  std::ostringstream errors;
  LoadEndpointOverrides(file, table, errors);
  EXPECT_EQ(table.Host("hatena.photo"), "127.0.0.1:9001");
  EXPECT_EQ(table.Host("inhouse.server"), "photos.corp.example");
  EXPECT_EQ(table.Host("snapfish.web"), "www.snapfish.example");
  EXPECT_NE(errors.str().find("zorg.nothing"), std::string::npos);
  EXPECT_NE(errors.str().find("snapfish.web"), std::string::npos);
}

TEST(EndpointOverrides, UnusableHostsAreReportedByLineAndIgnored) {
  const struct {
    std::string host;
    const char* why;  // empty: usable
  } cases[] = {
      {"127.0.0.1:8780", ""},
      {"photos.example", ""},
      {"[::1]", ""},
      {"[::1]:65535", ""},
      {"host:1", ""},
      {"host:99999", "port"},
      {"host:0", "port"},
      {"host:", "port"},
      {"host:8a", "port"},
      {":abc", "no host name"},
      {":80", "no host name"},
      {"[::1", "unclosed"},
      {"[::1]x", "after the ']'"},
      {"[::g]", "IPv6"},
      {"[]:80", "no host name"},
      {"a:b:c", "port"},
      {"a]b", "not allowed"},
      {"bad\x1B]0;title\x07", "not allowed"},
      {std::string(20000, 'h'), "longer than 255"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host.substr(0, 40));
    testing::TempDir dir;
    const auto file = dir.WriteFile("endpoints.ini", "[Endpoints]\n; line 2\nzorg.web=" + c.host + "\n");
    EndpointTable table = EndpointTable::Defaults();
    std::ostringstream errors;
    LoadEndpointOverrides(file, table, errors);
    if (*c.why == '\0') {
      EXPECT_EQ(table.Host("zorg.web"), c.host);
      EXPECT_EQ(errors.str(), "");
      continue;
    }
    EXPECT_EQ(table.Host("zorg.web"), "www.zorg.example");
    EXPECT_NE(errors.str().find("endpoints.ini:3: ignoring zorg.web="), std::string::npos) << errors.str();
    EXPECT_NE(errors.str().find(c.why), std::string::npos) << errors.str();
    EXPECT_LT(errors.str().size(), 300u) << "a long value is cut short";
    EXPECT_EQ(errors.str().find('\x1B'), std::string::npos) << "control characters are escaped";
  }
}

TEST(EndpointOverrides, MissingFileIsSilentMalformedFileIsReported) {
  testing::TempDir dir;
  EndpointTable table = EndpointTable::Defaults();
  std::ostringstream errors;
  LoadEndpointOverrides(dir.path() / "none.ini", table, errors);
  EXPECT_TRUE(errors.str().empty());

  const auto bad = dir.WriteFile("bad.ini", "[Endpoints]\nthis is not a value line\n");
  LoadEndpointOverrides(bad, table, errors);
  EXPECT_NE(errors.str().find("bad.ini:2"), std::string::npos) << errors.str();
  EXPECT_EQ(table.Host("zorg.web"), "www.zorg.example");
}

// A misspelt header must not leave every host silently at its built-in value.
TEST(EndpointOverrides, AnySectionButEndpointsIsAProblem) {
  testing::TempDir dir;
  const auto file =
      dir.WriteFile("endpoints.ini", "[endpoints]\nzorg.web=a.example\n[Endpoint]\nhatena.photo=b.example\n");
  EndpointTable table = EndpointTable::Defaults();
  std::ostringstream errors;
  EXPECT_FALSE(LoadEndpointOverrides(file, table, errors));
  EXPECT_EQ(table.Host("zorg.web"), "a.example") << "section names ignore case";
  EXPECT_NE(table.Host("hatena.photo"), "b.example");
  EXPECT_NE(errors.str().find("endpoints.ini:3: ignoring the section [Endpoint]"), std::string::npos)
      << errors.str();
}

}  // namespace
}  // namespace wharfling::posix
