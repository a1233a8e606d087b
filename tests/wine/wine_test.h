#pragma once
// The base of every Wine test: the shared session, or a skip (a failure under
// WHARFLING_REQUIRE_WINE=1) when Wine or the Windows build is missing.

#include <gtest/gtest.h>

#include <string>

#include "tests/wine/wine_session.h"

namespace wharfling::testing {

inline constexpr const char* kClassIdText = "{6F1D3A52-8C4B-4E27-9A1F-2B7C5D0E9F43}";
inline constexpr const char* kApprovedKey =
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

class WineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  WineSession& wine() { return *session_; }

  // The approval key, present as on Windows or absent as in a fresh Wine prefix.
  void SetApprovalKey(bool present);
  // Registers the module through regsvr32 (with the approval key in place).
  void RegisterModule();
  // Removes the settings an earlier test saved, so the dialog starts from none.
  void ForgetSettings();

 private:
  WineSession* session_ = nullptr;
};

}  // namespace wharfling::testing
