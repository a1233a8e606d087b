#include "tests/wine/wine_test.h"

#include <cstdlib>

namespace wharfling::testing {

void WineTest::SetUp() {
  session_ = WineSession::Get();
  if (session_ != nullptr) return;
  const char* required = std::getenv("WHARFLING_REQUIRE_WINE");
  if (required != nullptr && std::string(required) == "1") FAIL() << WineSession::why();
  GTEST_SKIP() << WineSession::why();
}

void WineTest::SetApprovalKey(bool present) {
  if (present) {
    wine().Windows("reg", {"add", kApprovedKey, "/f"});
  } else {
    wine().Windows("reg", {"delete", kApprovedKey, "/f"});
  }
}

void WineTest::RegisterModule() {
  SetApprovalKey(true);
  ASSERT_EQ(wine().Windows("regsvr32", {"/s", wine().ModuleWindowsPath()}).status, 0);
}

void WineTest::ForgetSettings() { wine().Windows("reg", {"delete", "HKCU\\Software\\Ferrowind", "/f"}); }

}  // namespace wharfling::testing
