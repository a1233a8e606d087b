#pragma once
// The run every driver shares: controls off, sign-in, preparation, one upload per file with its
// status and progress, sign-out, save, controls on. A driver supplies only its site's steps.

#include <cstddef>
#include <functional>

#include "sites/driver_context.h"

namespace wharfling {

struct DriverSteps {
  // False ends the run at once (after any message of the site's): nothing is saved.
  std::function<bool()> signIn;
  // The requests every upload needs; false skips the files and goes straight to the sign-out.
  std::function<bool()> prepare;
  // Sends one file and returns its status.
  std::function<Text(std::size_t item)> uploadFile;
  // Optional.
  std::function<void()> signOut;
};

void RunDriver(DriverContext& context, const DriverSteps& steps);

}  // namespace wharfling
