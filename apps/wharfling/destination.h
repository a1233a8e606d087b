#pragma once
// The destination a run goes to, as the command line names it before signing in.

#include <string>

#include "session/settings.h"

namespace wharfling::cli {

struct Destination {
  int index = 1;        // 1 to 14: the destination that the selection stands for
  std::string caption;  // UTF-8, the destination button's text
  std::string host;     // host of the site URL, with ":port" unless it is the scheme's default
};

Destination DestinationOf(const DialogSettings& settings);

}  // namespace wharfling::cli
