#include "apps/wharfling-desktop/desktop_services.h"

#include <iostream>
#include <sstream>

#include "platform/posix/config_dir.h"
#include "platform/posix/endpoint_overrides.h"
#include "platform/posix/profile_merge.h"

namespace wharfling::desktop {

DesktopServices::DesktopServices() {
  const auto directory = posix::ConfigDirectory();
  // The terminal program's profile, whatever this program's file name.
  store_ = std::make_unique<posix::IniSettingsStore>(directory, posix::kProfileName);
  if (!store_->path().empty()) {
    keyring_ = posix::OpenKeyringFor(*store_, store_->path().string());
    for (const auto& problem : posix::MergeFormerDesktopProfile(*store_, keyring_.store.get()).problems)
      std::cerr << "settings: not merged from the former desktop profile: " << problem << '\n';
  }
  settings_ = std::make_unique<KeyringSettings>(*store_, keyring_.store.get());
  if (!store_->path().empty()) problems_ = store_->Problems();
  std::ostringstream endpointProblems;
  if (!directory.empty())
    posix::LoadEndpointOverrides(directory / "endpoints.ini", endpoints_, endpointProblems);
  std::istringstream lines(endpointProblems.str());
  for (std::string line; std::getline(lines, line);) problems_.push_back(line);
  web_.SetPhotoPreparer(&photos_);
}

}  // namespace wharfling::desktop
