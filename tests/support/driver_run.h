#pragma once
// One upload dialog over some photos, talking to a fake site through the real curl transport: the
// harness of every driver test.

#include <memory>
#include <string>
#include <vector>

#include "platform/posix/curl_transport.h"
#include "platform/posix/encoding.h"
#include "tests/support/fake_site.h"
#include "tests/support/memory_settings_store.h"
#include "tests/support/recording_view.h"
#include "tests/support/temp_dir.h"
#include "ui/upload_dialog.h"

namespace wharfling::testing {

class DriverRun {
 public:
  // site: the destination index the profile selects. systemProxy: what the system settings name as
  // the proxy, none when empty.
  DriverRun(int site, const FakeSite& fake, std::string systemProxy = "");
  // A run against a server reached by its own address (the endpoint table names it), with no proxy.
  explicit DriverRun(int site);

  // The saved account of the destination, UTF-8.
  void SetAccount(const std::string& id, const std::string& password);
  // Writes a photo under the test's folder and adds it to the drop; returns its path.
  std::string AddPhoto(const std::string& relative, std::size_t size = 100);
  UploadDialog& Open();
  void Press() { dialog->StartUpload(); }

  // Statuses by row, in row order, UTF-8.
  std::vector<std::string> Statuses() const;
  // Message boxes shown, UTF-8.
  std::vector<std::string> Messages() const;
  // Whether the destination button, ID, password, list and Cancel are all usable.
  bool ControlsEnabled() const;
  // The saved value of the destination's ID or password, UTF-8; empty when none.
  std::string Saved(bool password) const;

  const int destination;
  TempDir dir;
  std::vector<std::string> paths;
  MemorySettingsStore store;
  RecordingView view;
  EndpointTable endpoints = EndpointTable::Defaults();
  posix::PosixTextCodec codec;
  posix::CurlTransport transport;
  WebClient web{transport, codec};
  std::unique_ptr<UploadDialog> dialog;
};

}  // namespace wharfling::testing
