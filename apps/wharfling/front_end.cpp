#include "apps/wharfling/front_end.h"

#include <cstdio>
#include <sstream>

#include "apps/wharfling/failure_report.h"
#include "platform/posix/config_dir.h"
#include "platform/posix/endpoint_overrides.h"

namespace wharfling::cli {

std::unique_ptr<FrontEnd> MakeFrontEnd() {
  auto frontEnd = std::make_unique<FrontEnd>();
  const auto directory = posix::ConfigDirectory();
  // One profile for both programs, whatever their file names.
  frontEnd->store = std::make_unique<posix::IniSettingsStore>(directory, posix::kProfileName);
  if (frontEnd->store->path().empty()) {
    frontEnd->keyring.absence = "no configuration folder";
  } else {
    frontEnd->keyring = posix::OpenKeyringFor(*frontEnd->store, frontEnd->store->path().string());
    frontEnd->formerProfile =
        posix::MergeFormerDesktopProfile(*frontEnd->store, frontEnd->keyring.store.get());
    for (const auto& problem : frontEnd->formerProfile.problems)
      std::fprintf(stderr, "settings: not merged from the former desktop profile: %s\n", problem.c_str());
  }
  frontEnd->settings = std::make_unique<KeyringSettings>(*frontEnd->store, frontEnd->keyring.store.get());
  if (!directory.empty()) {
    frontEnd->endpointsPath = directory / "endpoints.ini";
    std::ostringstream problems;
    posix::LoadEndpointOverrides(frontEnd->endpointsPath, frontEnd->endpoints, problems);
    frontEnd->endpointProblems = problems.str();
  }
  frontEnd->transport = std::make_unique<posix::CurlTransport>();
  frontEnd->reporting = std::make_unique<FailureReportingTransport>(*frontEnd->transport, stderr);
  frontEnd->web = std::make_unique<WebClient>(*frontEnd->reporting, frontEnd->codec);
  frontEnd->web->SetPhotoPreparer(&frontEnd->photos);
  return frontEnd;
}

bool SettingsUsable(FrontEnd& frontEnd, std::string_view command) {
  const std::vector<std::string> profileProblems =
      frontEnd.store->path().empty() ? std::vector<std::string>() : frontEnd.store->Problems();
  if (profileProblems.empty() && frontEnd.endpointProblems.empty()) return true;
  for (const auto& problem : profileProblems) std::fprintf(stderr, "wharfling: %s\n", problem.c_str());
  std::fputs(frontEnd.endpointProblems.c_str(), stderr);
  std::fprintf(stderr,
               "wharfling %.*s: stopped before signing in: fix the settings above (see 'wharfling config'); "
               "nothing was sent\n",
               static_cast<int>(command.size()), command.data());
  return false;
}

}  // namespace wharfling::cli
