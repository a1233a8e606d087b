#pragma once
// What the desktop program puts around the dialog: the profile it shares with the terminal program
// (its passwords in the desktop keyring when there is one), the endpoint table with the overrides of
// its configuration folder, the path codec and the web client.

#include <memory>
#include <string>
#include <vector>

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
  DesktopServices();
  DialogServices services() { return DialogServices{*settings_, endpoints_, codec_, web_}; }
  // What makes the profile or endpoints.ini unusable, one line each; the dialog must not open then,
  // or an account could go where the user never chose.
  const std::vector<std::string>& problems() const { return problems_; }

 private:
  posix::PosixTextCodec codec_;
  std::unique_ptr<posix::IniSettingsStore> store_;
  posix::SecretServiceConnection keyring_;
  std::unique_ptr<KeyringSettings> settings_;  // the profile, passwords in the desktop keyring if any
  EndpointTable endpoints_ = EndpointTable::Defaults();
  posix::CurlTransport transport_;
  posix::PosixPhotoPreparer photos_;
  WebClient web_{transport_, codec_};
  std::vector<std::string> problems_;
};

}  // namespace wharfling::desktop
