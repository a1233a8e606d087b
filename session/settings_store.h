#pragma once
// Port: the application profile. Sections hold named integer and text values; an absent value
// reads as nothing and the caller applies its default. Each write is persisted before it returns.

#include <cstdint>
#include <optional>
#include <string_view>

#include "text/text.h"

namespace wharfling {

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
};

}  // namespace wharfling
