#pragma once
// What holds for every site driver, run once per driver: each driver's test file instantiates
// DriverSuite with its own case (INSTANTIATE_TEST_SUITE_P(Name, DriverSuite, Values(...))).

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/driver_run.h"
#include "tests/support/route_site.h"

namespace wharfling::testing {

struct DriverCase {
  std::string name;
  int site = 1;
  // A fake site that accepts the given account (its texts in CP932).
  std::function<std::unique_ptr<FakeSite>(const SiteAccount& account)> makeSite;
  // The message box of a refused sign-in (UTF-8); empty when the driver shows none.
  std::string signInFailedMessage;
  // A driver without a sign-in test goes on after a refused sign-in: its rows fail, and it saves.
  bool testsSignIn = true;
  // The path of the upload post ("POST path" where a GET shares it), where the suite drops a connection.
  std::string uploadPath;
  // The fake's switch under which it reports every photo as arrived, for a site whose later pages
  // say what arrived; empty when its answers to the upload post decide.
  std::string claimsEveryPhoto;
  // Anything the run needs before the button is pressed (answering a chooser, say).
  std::function<void(DriverRun& run)> beforeRun;
};

class DriverSuite : public ::testing::TestWithParam<DriverCase> {
 protected:
  // A site accepting siteAccount, and a dialog over the photos whose saved account is dialogAccount.
  void Open(const std::vector<std::string>& photos, const SiteAccount& siteAccount = {},
            const SiteAccount& dialogAccount = {});
  void Press();
  std::vector<std::string> SavedWrites() const;

  std::unique_ptr<FakeSite> site;
  std::unique_ptr<DriverRun> run;
};

// One photo, a.jpg, sent to a fresh fake site with one of its failure cases switched on (none when
// empty): the setting of each driver's own cases. prepare runs before the dialog opens.
struct OnePhotoRun {
  OnePhotoRun(int destination, const std::function<std::unique_ptr<RouteSite>(const SiteAccount&)>& makeSite,
              const std::string& siteSwitch, const std::function<void(DriverRun&)>& prepare = {})
      : site(makeSite({})), run(destination, *site) {
    site->Switch(siteSwitch);
    run.AddPhoto("a.jpg");
    if (prepare) prepare(run);
    run.Open();
    run.Press();
  }
  std::unique_ptr<RouteSite> site;
  DriverRun run;
};

// Failure output names the case rather than dumping its bytes.
inline void PrintTo(const DriverCase& c, std::ostream* out) { *out << c.name; }

// Names the instantiated cases after DriverCase::name.
std::string DriverCaseName(const ::testing::TestParamInfo<DriverCase>& info);

}  // namespace wharfling::testing
