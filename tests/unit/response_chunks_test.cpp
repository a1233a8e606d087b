#include "web/response_chunks.h"

#include <gtest/gtest.h>

namespace wharfling {
namespace {

TEST(SplitIntoReads, Cases) {
  const std::string full(10240, 'x');
  const struct {
    std::string body;
    ChunkList chunks;
  } cases[] = {
      {"", {}},
      {"hello", {"hello"}},
      {full, {full}},
      {full + "y", {full, "y"}},
      {std::string("ab\0cd", 5), {"ab"}},  // a read ends at its first zero byte
      {std::string("\0x", 2), {""}},       // leaving an empty element
      {std::string(10239, 'x') + std::string("\0", 1) + "z", {std::string(10239, 'x'), "z"}},
      {std::string(3 * 10240 + 1, 'q'),
       {std::string(10240, 'q'), std::string(10240, 'q'), std::string(10240, 'q'), "q"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitIntoReads(c.body), c.chunks) << c.body.size();
}

}  // namespace
}  // namespace wharfling
