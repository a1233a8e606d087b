#pragma once
// The profile as the command line amends it: `--destination N` reads as "Select001" = N, and an
// account given on the command line (or typed at the prompt) reads as the saved ID and password of
// whichever destination is selected. So the dialog starts up with that account, as it would with a
// saved one. `--fit` and `--strip-location` read as "Mode"/"fit" and "Mode"/"nolocation" = 1 for this
// run only. Writes go through to the profile; a value once written reads from the profile again.

#include <cstdint>
#include <optional>

#include "session/settings_store.h"

namespace wharfling::cli {

class CommandLineSettings final : public SettingsStore {
 public:
  explicit CommandLineSettings(SettingsStore& profile) : profile_(profile) {}

  std::optional<std::int32_t> selection;
  std::optional<Text> id;
  std::optional<Text> password;
  std::optional<std::int32_t> fit;
  std::optional<std::int32_t> noLocation;

  std::optional<std::int32_t> ReadInt(std::string_view section, std::string_view name) override;
  std::optional<Text> ReadText(std::string_view section, std::string_view name) override;
  void WriteInt(std::string_view section, std::string_view name, std::int32_t value) override;
  void WriteText(std::string_view section, std::string_view name, std::string_view value) override;
  void RemoveValue(std::string_view section, std::string_view name) override;

 private:
  // The amendment a value reads as, if any.
  std::optional<Text>* TextFor(std::string_view section, std::string_view name);

  SettingsStore& profile_;
};

}  // namespace wharfling::cli
