#pragma once
// Everything the terminal front end puts around the core on this platform: the profile file, the
// endpoint table with its overrides, the path codec and the web client on libcurl.

#include <filesystem>
#include <memory>
#include <string>

#include "apps/wharfling/failure_report.h"
#include "platform/posix/curl_transport.h"
#include "platform/posix/encoding.h"
#include "platform/posix/ini_settings_store.h"
#include "platform/posix/posix_photo_preparer.h"
#include "platform/posix/profile_merge.h"
#include "platform/posix/secret_service_store.h"
#include "session/endpoints.h"
#include "session/keyring_settings.h"
#include "web/web_client.h"

namespace wharfling::cli {

struct FrontEnd {
  posix::PosixTextCodec codec;
  std::unique_ptr<posix::IniSettingsStore> store;
  posix::SecretServiceConnection keyring;     // its store is null when the passwords stay in the file
  std::unique_ptr<KeyringSettings> settings;  // the profile, passwords in the keyring if there is one
  posix::FormerProfile formerProfile;         // the desktop program's own profile of old, if any
  EndpointTable endpoints = EndpointTable::Defaults();
  std::filesystem::path endpointsPath;  // empty when there is no configuration folder
  std::string endpointProblems;         // what endpoints.ini got wrong, one line each; empty if nothing
  std::unique_ptr<posix::CurlTransport> transport;
  std::unique_ptr<FailureReportingTransport>
      reporting;                     // the transport, telling stderr why an exchange failed
  posix::PosixPhotoPreparer photos;  // shrink to fit and location removal, when the settings ask
  std::unique_ptr<WebClient> web;
};

// Settings from the configuration folder, passwords in the desktop keyring; endpoint overrides from its
// endpoints.ini; a web client that reports each failed exchange on standard error.
std::unique_ptr<FrontEnd> MakeFrontEnd();

// For a command that would send an account somewhere: what makes the settings unusable (a profile
// or endpoints.ini that cannot be read or parsed), printed on stderr with the command's name.
// False when the command must stop.
bool SettingsUsable(FrontEnd& frontEnd, std::string_view command);

}  // namespace wharfling::cli
