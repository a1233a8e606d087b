#include "apps/wharfling/command_line_settings.h"

#include "session/settings.h"
#include "session/site_catalogue.h"

namespace wharfling::cli {
namespace {

constexpr std::string_view kSelectionValue = "Select001";

}  // namespace

std::optional<Text>* CommandLineSettings::TextFor(std::string_view section, std::string_view name) {
  if (section != kSettingsSection) return nullptr;
  for (int site = 1; site <= kSiteCount; ++site) {
    const SiteInfo& row = CatalogueRow(site);
    if (name == row.idValue) return &id;
    if (name == row.passwordValue) return &password;
  }
  return nullptr;
}

std::optional<std::int32_t> CommandLineSettings::ReadInt(std::string_view section, std::string_view name) {
  if (selection && section == kSettingsSection && name == kSelectionValue) return selection;
  if (fit && section == kModeSection && name == "fit") return fit;
  if (noLocation && section == kModeSection && name == "nolocation") return noLocation;
  return profile_.ReadInt(section, name);
}

std::optional<Text> CommandLineSettings::ReadText(std::string_view section, std::string_view name) {
  if (const auto* amended = TextFor(section, name); amended && *amended) return *amended;
  return profile_.ReadText(section, name);
}

void CommandLineSettings::WriteInt(std::string_view section, std::string_view name, std::int32_t value) {
  if (section == kSettingsSection && name == kSelectionValue) selection.reset();
  profile_.WriteInt(section, name, value);
}

void CommandLineSettings::WriteText(std::string_view section, std::string_view name, std::string_view value) {
  if (auto* amended = TextFor(section, name)) amended->reset();
  profile_.WriteText(section, name, value);
}

void CommandLineSettings::RemoveValue(std::string_view section, std::string_view name) {
  if (auto* amended = TextFor(section, name)) amended->reset();
  profile_.RemoveValue(section, name);
}

}  // namespace wharfling::cli
