#include "platform/posix/profile_merge.h"

#include <set>
#include <sstream>

#include "platform/posix/config_dir.h"
#include "platform/posix/ini_text.h"
#include "platform/posix/secret_service_store.h"
#include "session/settings.h"
#include "session/site_catalogue.h"

namespace wharfling::posix {
namespace {

// The profile's note that the former one was taken over.
constexpr std::string_view kNoteSection = "Profile";
constexpr std::string_view kNoteName = "MergedFrom";

std::string FormerFileName() { return std::string(kFormerDesktopProfileName) + ".ini"; }

bool Merged(const IniDocument& document) { return document.Get(kNoteSection, kNoteName) == FormerFileName(); }

void TakeOverValues(const IniDocument& former, IniDocument& profile) {
  std::set<std::string> done;
  for (const IniSection& section : former.Sections()) {
    if (!done.insert(section.name).second) continue;
    for (const IniEntry& entry : former.Entries(section.name)) {
      if (!profile.Find(section.name, entry.name))
        profile.SetEscaped(section.name, entry.name, entry.escaped);
    }
  }
}

// The passwords the former profile kept in the keyring, for destinations whose merged account has
// none and whose ID is the one that password was saved with.
void TakeOverPasswords(const IniDocument& former, const IniDocument& profile, SecretStore& formerKeyring,
                       SecretStore& keyring) {
  for (int site = 1; site <= kSiteCount; ++site) {
    const SiteInfo& row = CatalogueRow(site);
    if (profile.Find(kSettingsSection, row.passwordValue)) continue;
    const auto formerId = former.GetEscaped(kSettingsSection, row.idValue).value_or("");
    const auto id = profile.GetEscaped(kSettingsSection, row.idValue).value_or("");
    if (formerId != id) continue;
    const Text account = IniValueToCp932(id);
    if (keyring.Lookup(row.passwordValue, account)) continue;
    if (const auto password = formerKeyring.Lookup(row.passwordValue, account)) {
      keyring.Store(row.passwordValue, account, *password);
    }
  }
}

}  // namespace

FormerProfile FindFormerDesktopProfile(IniSettingsStore& profile) {
  FormerProfile found;
  if (profile.path().empty()) return found;
  const auto path = profile.path().parent_path() / FormerFileName();
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return found;
  found.path = path;
  found.merged = Merged(profile.document());
  return found;
}

FormerProfile MergeFormerDesktopProfile(IniSettingsStore& profile, SecretStore* formerKeyring,
                                        SecretStore* keyring) {
  FormerProfile found = FindFormerDesktopProfile(profile);
  if (found.path.empty() || found.merged) return found;
  std::ostringstream unused;  // its problems are returned, not reported
  IniSettingsStore former(found.path.parent_path(), kFormerDesktopProfileName, unused);
  found.problems = former.Problems();
  if (!found.problems.empty()) return found;
  const bool saved = profile.Update("the values of " + found.path.string(), [&](IniDocument& document) {
    if (Merged(document)) return false;  // another program was first
    TakeOverValues(former.document(), document);
    if (formerKeyring != nullptr && keyring != nullptr)
      TakeOverPasswords(former.document(), document, *formerKeyring, *keyring);
    return document.SetEscaped(kNoteSection, kNoteName, FormerFileName());
  });
  found.merged = saved || Merged(profile.document());
  if (!found.merged) found.problems.push_back(profile.lastWriteError());
  return found;
}

FormerProfile MergeFormerDesktopProfile(IniSettingsStore& profile, SecretStore* keyring) {
  const FormerProfile found = FindFormerDesktopProfile(profile);
  if (found.path.empty() || found.merged || keyring == nullptr) {
    return MergeFormerDesktopProfile(profile, nullptr, nullptr);
  }
  // The former profile's items are told apart by its file's path, as the desktop program kept them.
  const SecretServiceConnection former = ConnectSecretService(found.path.string());
  return MergeFormerDesktopProfile(profile, former.store.get(), keyring);
}

}  // namespace wharfling::posix
