#include "apps/wharfling/json_output.h"

#include <cstdio>

namespace wharfling::cli {

void PrintJson(nlohmann::json object) {
  object["version"] = kJsonVersion;
  const std::string text = object.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
  std::printf("%s\n", text.c_str());
}

}  // namespace wharfling::cli
