#include "apps/wharfling-desktop/desktop_services.h"

#include <iostream>

#include "platform/posix/config_dir.h"
#include "platform/posix/endpoint_overrides.h"

namespace wharfling::desktop {

DesktopServices::DesktopServices(const char* argv0) {
  const auto directory = posix::ConfigDirectory();
  store_ = std::make_unique<posix::IniSettingsStore>(directory, posix::ProfileName(argv0));
  if (!store_->path().empty()) keyring_ = posix::OpenKeyringFor(*store_, store_->path().string());
  settings_ = std::make_unique<KeyringSettings>(*store_, keyring_.store.get());
  posix::LoadEndpointOverrides(directory / "endpoints.ini", endpoints_, std::cerr);
  web_.SetPhotoPreparer(&photos_);
}

}  // namespace wharfling::desktop
