// wharfling endpoints: the effective endpoint table as JSON.

#include <cstdio>

#include <nlohmann/json.hpp>

#include "apps/wharfling/commands.h"
#include "apps/wharfling/front_end.h"

namespace wharfling::cli {

int RunEndpoints(std::span<char*> args) {
  if (!args.empty()) {
    std::fprintf(stderr, "usage: wharfling endpoints\n");
    return kUsageError;
  }
  const auto frontEnd = MakeFrontEnd();
  nlohmann::json table = nlohmann::json::array();
  for (const auto& entry : frontEnd->endpoints.entries()) {
    table.push_back({{"site", entry.site}, {"role", entry.role}, {"host", entry.host}});
  }
  std::printf("%s\n", table.dump(2).c_str());
  return 0;
}

}  // namespace wharfling::cli
