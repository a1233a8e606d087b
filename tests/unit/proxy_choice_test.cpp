#include "platform/posix/proxy_choice.h"

#include <gtest/gtest.h>

#include <map>

namespace wharfling::posix {
namespace {

EnvironmentLookup With(std::map<std::string, std::string> variables) {
  return [variables](const char* name) -> std::optional<std::string> {
    const auto found = variables.find(name);
    if (found == variables.end()) return std::nullopt;
    return found->second;
  };
}

TEST(NoProxyMatches, Cases) {
  const struct {
    const char* list;
    const char* host;
    bool matches;
  } cases[] = {
      {"*", "anything.test", true},
      {"example.test", "example.test", true},
      {"example.test", "www.example.test", true},
      {".example.test", "www.example.test", true},
      {"example.test", "badexample.test", false},
      {"localhost, 127.0.0.1", "127.0.0.1", true},
      {"a.test,,b.test", "B.TEST", true},
      {"", "example.test", false},
      {"*.example.test", "www.example.test", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NoProxyMatches(c.list, c.host), c.matches) << c.list << " / " << c.host;
}

TEST(ChooseSystemProxy, FollowsTheVariablesCurlReads) {
  const auto env = With({{"http_proxy", "http://p1:3128"},
                         {"HTTP_PROXY", "http://ignored:1"},
                         {"HTTPS_PROXY", "http://p2:3128"},
                         {"no_proxy", "intra.test"}});
  EXPECT_EQ(ChooseSystemProxy(false, "www.example.test", env), "http://p1:3128");
  EXPECT_EQ(ChooseSystemProxy(true, "www.example.test", env), "http://p2:3128");
  EXPECT_EQ(ChooseSystemProxy(false, "www.intra.test", env), "");
  // Only the lower-case http_proxy counts for plain requests.
  EXPECT_EQ(ChooseSystemProxy(false, "x.test", With({{"HTTP_PROXY", "http://ignored:1"}})), "");
  EXPECT_EQ(ChooseSystemProxy(false, "x.test", With({{"ALL_PROXY", "http://all:1"}})), "http://all:1");
  EXPECT_EQ(ChooseSystemProxy(true, "x.test", With({{"https_proxy", ""}, {"all_proxy", "http://a:1"}})),
            "http://a:1");
  EXPECT_EQ(ChooseSystemProxy(true, "x.test", With({})), "");
}

}  // namespace
}  // namespace wharfling::posix
