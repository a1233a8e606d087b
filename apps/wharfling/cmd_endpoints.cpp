// wharfling endpoints: the effective endpoint table as JSON.

#include <iostream>

#include "apps/wharfling/commands.h"
#include "apps/wharfling/front_end.h"
#include "apps/wharfling/json_output.h"

namespace wharfling::cli {
namespace {

int Run(const ParsedArgs&) {
  const auto frontEnd = MakeFrontEnd();
  std::cerr << frontEnd->endpointProblems;
  nlohmann::json table = nlohmann::json::array();
  for (const auto& entry : frontEnd->endpoints.entries()) {
    table.push_back({{"site", entry.site}, {"role", entry.role}, {"host", entry.host}});
  }
  PrintJson({{"endpoints", table}});
  return 0;
}

}  // namespace

const Command kEndpointsCommand{
    "endpoints", "", "print the effective endpoint table (built-in hosts and endpoints.ini) as JSON",
    {},          "", Run};

}  // namespace wharfling::cli
