#pragma once
// Port: the application profile. Sections hold named integer and text values; an absent value
// reads as nothing and the caller applies its default. Each write is persisted before it returns.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace wharfling {

// One value that a save sets or removes.
struct SettingChange {
  enum class Kind { kInt, kText, kRemove };
  std::string section;
  std::string name;
  Kind kind = Kind::kRemove;
  std::int32_t number = 0;  // kInt
  Text text;                // kText, CP932

  static SettingChange Int(std::string_view section, std::string_view name, std::int32_t value) {
    return {std::string(section), std::string(name), Kind::kInt, value, {}};
  }
  static SettingChange String(std::string_view section, std::string_view name, std::string_view value) {
    return {std::string(section), std::string(name), Kind::kText, 0, Text(value)};
  }
  static SettingChange Removal(std::string_view section, std::string_view name) {
    return {std::string(section), std::string(name), Kind::kRemove, 0, {}};
  }
};

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual std::optional<std::int32_t> ReadInt(std::string_view section, std::string_view name) = 0;
  // Texts are CP932, as everywhere in the core.
  virtual std::optional<Text> ReadText(std::string_view section, std::string_view name) = 0;
  virtual void WriteInt(std::string_view section, std::string_view name, std::int32_t value) = 0;
  virtual void WriteText(std::string_view section, std::string_view name, std::string_view value) = 0;
  // Removes the value; it then reads as absent. Nothing happens when it is absent already.
  virtual void RemoveValue(std::string_view section, std::string_view name) = 0;

  // The values of one save, in order. A store that can makes them one replacement, so that no other
  // program and no crash ever sees some of them without the rest (an ID without its password); this
  // one writes them one after the other.
  virtual void Apply(const std::vector<SettingChange>& changes);
};

}  // namespace wharfling
