#include "tests/support/driver_run.h"

#include "session/site_catalogue.h"
#include "ui/controls.h"

namespace wharfling::testing {
namespace {

posix::CurlTransportOptions OptionsFor(posix::CurlTransportOptions options, std::string systemProxy) {
  options.ownCookieStore = true;
  options.environment = [proxy = std::move(systemProxy)](const char* name) -> std::optional<std::string> {
    if (!proxy.empty() && std::string_view(name) == "http_proxy") return proxy;
    return std::nullopt;
  };
  return options;
}

}  // namespace

DriverRun::DriverRun(int site, const FakeSite& fake, std::string systemProxy)
    : destination(site), transport(OptionsFor(fake.TransportOptions(), std::move(systemProxy))) {
  store.values[{"Settings", "Select001"}] = site;
  SetAccount("alice", "secret");
}

DriverRun::DriverRun(int site) : destination(site), transport(OptionsFor({}, "")) {
  store.values[{"Settings", "Select001"}] = site;
  SetAccount("alice", "secret");
}

void DriverRun::SetAccount(const std::string& id, const std::string& password) {
  const SiteInfo& row = CatalogueRow(destination);
  store.values[{"Settings", std::string(row.idValue)}] = posix::Utf8ToCp932(id);
  store.values[{"Settings", std::string(row.passwordValue)}] = posix::Utf8ToCp932(password);
}

std::string DriverRun::AddPhoto(const std::string& relative, std::size_t size) {
  paths.push_back(dir.WriteFile(relative, std::string(size, 'p')));
  return paths.back();
}

UploadDialog& DriverRun::Open() {
  dialog = std::make_unique<UploadDialog>(paths, view, DialogServices{store, endpoints, codec, web});
  dialog->Initialize();
  store.writes.clear();
  return *dialog;
}

std::vector<std::string> DriverRun::Statuses() const {
  std::vector<std::string> statuses;
  for (const auto& row : view.rows()) statuses.push_back(posix::Cp932ToUtf8(row.at(2)));
  return statuses;
}

std::vector<std::string> DriverRun::Messages() const {
  std::vector<std::string> messages;
  for (const auto& message : view.messages) messages.push_back(posix::Cp932ToUtf8(message));
  return messages;
}

bool DriverRun::ControlsEnabled() const {
  for (const int id :
       {control::kDestination, control::kId, control::kPassword, control::kFileList, control::kCancel}) {
    if (!view.control(id).enabled) return false;
  }
  return view.control(control::kDestination).visible;
}

std::string DriverRun::Saved(bool password) const {
  const SiteInfo& row = CatalogueRow(destination);
  const auto found = store.values.find({"Settings", std::string(password ? row.passwordValue : row.idValue)});
  if (found == store.values.end() || !std::holds_alternative<Text>(found->second)) return {};
  return posix::Cp932ToUtf8(std::get<Text>(found->second));
}

}  // namespace wharfling::testing
