// wharfling config: where the settings live, whether the files exist and what in them is unusable.

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "apps/wharfling/commands.h"
#include "apps/wharfling/front_end.h"
#include "apps/wharfling/json_output.h"
#include "session/settings.h"

namespace wharfling::cli {
namespace {

constexpr Option kOptions[] = {
    {"--json", "", "print the same as JSON (docs/cli-json.md)"},
};

nlohmann::json FileJson(const std::filesystem::path& path, const std::vector<std::string>& problems) {
  std::error_code error;
  return {{"path", path.string()},
          {"exists", !path.empty() && std::filesystem::exists(path, error)},
          {"problems", problems}};
}

// The lines of what was reported on stderr, without the program's name in front.
std::vector<std::string> Lines(const std::string& text) {
  constexpr std::string_view kProgram = "wharfling: ";
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line.starts_with(kProgram) ? line.substr(kProgram.size()) : line);
  return lines;
}

void PrintFile(const char* label, const nlohmann::json& file, const char* whenMissing) {
  const std::string path = file["path"];
  std::printf("%-10s %s (%s)\n", label, path.empty() ? "(none)" : path.c_str(),
              file["exists"].get<bool>() ? "exists" : whenMissing);
  for (const auto& problem : file["problems"])
    std::printf("  problem: %s\n", problem.get<std::string>().c_str());
}

// The two options that change the bytes sent for a photo, as the profile sets them.
nlohmann::json PhotoOptionsJson(SettingsStore& store) {
  DialogSettings settings;
  LoadSettings(store, EndpointTable::Defaults(), settings);
  return {{"fit", settings.fit != 0}, {"nolocation", settings.noLocation != 0}};
}

void PrintPhotoOptions(const nlohmann::json& options) {
  const auto onOff = [](const nlohmann::json& value) { return value.get<bool>() ? "on" : "off"; };
  std::printf("%-10s shrink to fit ([Mode] fit): %s; remove location ([Mode] nolocation): %s\n", "photos",
              onOff(options["fit"]), onOff(options["nolocation"]));
}

// The desktop program's profile of old: no longer read once merged, and only then.
nlohmann::json FormerProfileJson(const posix::FormerProfile& former) {
  if (former.path.empty()) return nullptr;
  nlohmann::json file = FileJson(former.path, former.problems);
  file["merged"] = former.merged;
  return file;
}

void PrintFormerProfile(const nlohmann::json& former) {
  if (former.is_null()) return;
  const std::string path = former["path"];
  if (former["merged"].get<bool>()) {
    std::printf("%-10s %s (no longer read: its values were merged into the profile)\n", "former",
                path.c_str());
    return;
  }
  std::printf("%-10s %s (not merged yet: the desktop program's profile of old)\n", "former", path.c_str());
  for (const auto& problem : former["problems"])
    std::printf("  problem: %s\n", problem.get<std::string>().c_str());
}

int Run(const ParsedArgs& args) {
  auto frontEnd = MakeFrontEnd();
  const nlohmann::json report = {
      {"profile", FileJson(frontEnd->store->path(), frontEnd->store->Problems())},
      {"former_desktop_profile", FormerProfileJson(frontEnd->formerProfile)},
      {"endpoints", FileJson(frontEnd->endpointsPath, Lines(frontEnd->endpointProblems))},
      {"passwords",
       {{"keyring", frontEnd->keyring.store != nullptr}, {"where", posix::PasswordPlace(frontEnd->keyring)}}},
      {"photo_options", PhotoOptionsJson(*frontEnd->store)}};
  if (args.Has("--json")) {
    PrintJson(report);
  } else {
    PrintFile("profile", report["profile"], "missing: every setting takes its default");
    PrintFormerProfile(report["former_desktop_profile"]);
    PrintFile("endpoints", report["endpoints"], "missing: the built-in hosts are used");
    std::printf("%-10s %s\n", "passwords", report["passwords"]["where"].get<std::string>().c_str());
    PrintPhotoOptions(report["photo_options"]);
  }
  // A former profile that could not be merged is not read either: shown, but no reason to stop.
  const bool clean = report["profile"]["problems"].empty() && report["endpoints"]["problems"].empty();
  return clean ? 0 : kConfigError;
}

}  // namespace

const Command kConfigCommand{
    "config",
    "",
    "show where the profile and endpoints.ini are and what in them cannot be used",
    kOptions,
    "The folder is $WHARFLING_CONFIG_DIR, else $XDG_CONFIG_HOME/Ferrowind, else ~/.config/Ferrowind.\n"
    "Passwords are kept in the desktop keyring when a Secret Service runs on the session bus, unless\n"
    "the profile says keyring=0 under [Mode]; otherwise in the profile.\n"
    "Exit status: 0 when both files are usable or missing, 78 when either has a problem (upload\n"
    "then refuses to run).",
    Run};

}  // namespace wharfling::cli
