#pragma once
// Ctrl-C during a run: the first cancels the run (the exchange in flight fails, the run signs out
// and saves) and says so on standard error; the second ends the program at once, as SIGINT does by
// default, without signing out or saving.

#include "session/cancel_request.h"

namespace wharfling::cli {

// Holds the handler for its lifetime and puts the earlier disposition back after it.
class CancelOnInterrupt {
 public:
  explicit CancelOnInterrupt(CancelRequest& request);
  ~CancelOnInterrupt();
  CancelOnInterrupt(const CancelOnInterrupt&) = delete;
  CancelOnInterrupt& operator=(const CancelOnInterrupt&) = delete;
};

}  // namespace wharfling::cli
