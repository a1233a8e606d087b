#include "session/settings_store.h"

namespace wharfling {

void SettingsStore::Apply(const std::vector<SettingChange>& changes) {
  for (const SettingChange& change : changes) {
    switch (change.kind) {
      case SettingChange::Kind::kInt:
        WriteInt(change.section, change.name, change.number);
        break;
      case SettingChange::Kind::kText:
        WriteText(change.section, change.name, change.text);
        break;
      case SettingChange::Kind::kRemove:
        RemoveValue(change.section, change.name);
        break;
    }
  }
}

}  // namespace wharfling
