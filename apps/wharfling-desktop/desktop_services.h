#pragma once
// What the desktop program puts around the dialog: the profile named after the program (its
// passwords in the desktop keyring when there is one), the
// endpoint table with the overrides of its configuration folder, the path codec and the web client.

#include <memory>

#include "platform/posix/curl_transport.h"
#include "platform/posix/encoding.h"
#include "platform/posix/ini_settings_store.h"
#include "platform/posix/posix_photo_preparer.h"
#include "platform/posix/secret_service_store.h"
#include "session/endpoints.h"
#include "session/keyring_settings.h"
#include "ui/upload_dialog.h"
#include "web/web_client.h"

namespace wharfling::desktop {

class DesktopServices {
 public:
  explicit DesktopServices(const char* argv0);
  DialogServices services() { return DialogServices{*settings_, endpoints_, codec_, web_}; }

 private:
  posix::PosixTextCodec codec_;
  std::unique_ptr<posix::IniSettingsStore> store_;
  posix::SecretServiceConnection keyring_;
  std::unique_ptr<KeyringSettings> settings_;  // the profile, passwords in the desktop keyring if any
  EndpointTable endpoints_ = EndpointTable::Defaults();
  posix::CurlTransport transport_;
  posix::PosixPhotoPreparer photos_;
  WebClient web_{transport_, codec_};
};

}  // namespace wharfling::desktop
