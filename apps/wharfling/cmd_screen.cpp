#include <cstdio>

#include "apps/wharfling/commands.h"

namespace wharfling::cli {

int RunScreen(std::span<char*> args) {
  std::fprintf(stderr, "screen: %zu paths\n", args.size());
  return 0;
}

}  // namespace wharfling::cli
