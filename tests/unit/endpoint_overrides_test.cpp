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

}  // namespace
}  // namespace wharfling::posix
