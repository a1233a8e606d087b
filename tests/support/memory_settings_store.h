#pragma once
// A settings store in memory that records the order of its writes.

#include <map>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "session/settings_store.h"

namespace wharfling::testing {

class MemorySettingsStore final : public SettingsStore {
 public:
  using Value = std::variant<std::int32_t, Text>;
  using Key = std::pair<std::string, std::string>;

  std::optional<std::int32_t> ReadInt(std::string_view section, std::string_view name) override {
    const auto found = values.find(Key(section, name));
    if (found == values.end() || !std::holds_alternative<std::int32_t>(found->second)) return std::nullopt;
    return std::get<std::int32_t>(found->second);
  }
  std::optional<Text> ReadText(std::string_view section, std::string_view name) override {
    const auto found = values.find(Key(section, name));
    if (found == values.end() || !std::holds_alternative<Text>(found->second)) return std::nullopt;
    return std::get<Text>(found->second);
  }
  void WriteInt(std::string_view section, std::string_view name, std::int32_t value) override {
    values[Key(section, name)] = value;
    writes.emplace_back(std::string(section) + "/" + std::string(name));
  }
  void WriteText(std::string_view section, std::string_view name, std::string_view value) override {
    values[Key(section, name)] = Text(value);
    writes.emplace_back(std::string(section) + "/" + std::string(name));
  }

  void RemoveValue(std::string_view section, std::string_view name) override {
    values.erase(Key(section, name));
    writes.emplace_back("-" + std::string(section) + "/" + std::string(name));
  }

  std::map<Key, Value> values;
  std::vector<std::string> writes;  // "Section/Name" in write order, "-Section/Name" for a removal
};

}  // namespace wharfling::testing
