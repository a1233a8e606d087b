#pragma once
// The upload run every driver shares: controls off, sign-in, preparation, one upload per file with
// its status and progress, sign-out, save, controls on. A driver supplies only its site's steps. A
// cancel fails the exchange in flight; the run then stops before the next file, signs out within
// kSignOutLimitAfterCancel and saves as at its end. A cancel during the sign-in ends the run there,
// nothing saved. Whatever a driver's own test says, a file whose upload went out incomplete fails.

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>

#include "sites/driver_context.h"

namespace wharfling {

struct UploadSteps {
  // False ends the run at once (after any message of the site's): nothing is saved.
  std::function<bool()> signIn;
  // The requests every upload needs; false skips the files and goes straight to the sign-out.
  std::function<bool()> prepare;
  // Sends one file and returns its status; nothing leaves the row's text as it was.
  std::function<std::optional<Text>(std::size_t item)> uploadFile;
  // Optional.
  std::function<void()> signOut;
  // Optional: true leaves the file out altogether (no request, no status, no progress).
  std::function<bool(std::size_t item)> skipFile = nullptr;
};

// Long enough for a site that answers to take its sign-out, short enough that Ctrl-C ends a run
// within a few seconds however stuck the site is.
inline constexpr std::chrono::seconds kSignOutLimitAfterCancel{3};

void RunUpload(DriverContext& context, const UploadSteps& steps);

}  // namespace wharfling
