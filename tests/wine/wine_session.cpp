#include "tests/wine/wine_session.h"

#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/support/command_run.h"

namespace wharfling::testing {
namespace {

namespace fs = std::filesystem;

std::string FromEnvironment(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

std::string FindWine() {
  for (const std::string candidate : {"/usr/bin/wine64", "/usr/lib/wine/wine64", "/usr/bin/wine"}) {
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char next = text[++i];
      out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string whyNot;

fs::path WineFontsFolder() { return FromEnvironment("WHARFLING_WINE_FONTS", "/usr/share/wine/fonts"); }

}  // namespace

ProbeOutput::ProbeOutput(const std::string& text) {
  std::size_t start = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto equals = line.find('=');
    if (equals != std::string::npos)
      lines_.emplace_back(line.substr(0, equals), Unescape(line.substr(equals + 1)));
    start = end + 1;
  }
}

std::optional<std::string> ProbeOutput::Get(const std::string& key) const {
  for (const auto& [name, value] : lines_) {
    if (name == key) return value;
  }
  return std::nullopt;
}

std::vector<std::string> ProbeOutput::All(const std::string& key) const {
  std::vector<std::string> values;
  for (const auto& [name, value] : lines_) {
    if (name == key) values.push_back(value);
  }
  return values;
}

WineSession* WineSession::Get() {
  static std::unique_ptr<WineSession> session = [] {
    std::unique_ptr<WineSession> started(new WineSession());
    if (!started->Start(whyNot)) started.reset();
    return started;
  }();
  return session.get();
}

const std::string& WineSession::why() { return whyNot; }

std::string WineSession::WindowsPath(const std::string& hostPath) {
  std::string path = "Z:" + fs::absolute(hostPath).lexically_normal().string();
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string WineSession::Environment() const {
  return "WINEPREFIX=" + ShellQuote(prefix_->path().string()) +
         " WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' DISPLAY=:" + std::to_string(display_);
}

bool WineSession::StartDisplay() {
  for (int display = 90; display < 140; ++display) {
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(display);
    if (fs::exists(socket) || fs::exists("/tmp/.X" + std::to_string(display) + "-lock")) continue;
    const pid_t child = fork();
    if (child == 0) {
      const std::string name = ":" + std::to_string(display);
      execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int waited = 0; waited < 100 && !fs::exists(socket); ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (fs::exists(socket)) {
      display_ = display;
      displayPid_ = child;
      return true;
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
  }
  return false;
}

bool WineSession::Start(std::string& why) {
  wine_ = FromEnvironment("WHARFLING_WINE", FindWine());
  buildDir_ = FromEnvironment("WHARFLING_WIN32_DIR", WHARFLING_WIN32_BUILD_DIR);
  modulePath_ = buildDir_ + "/wharfling.dll";
  probePath_ = buildDir_ + "/wine_probe.exe";
  if (wine_.empty()) {
    why = "wine64 is not installed (scripts/install-deps.sh installs it)";
    return false;
  }
  if (!fs::exists(modulePath_) || !fs::exists(probePath_)) {
    why = "the Windows build is missing in " + buildDir_ + " (scripts/test.sh makes it)";
    return false;
  }
  if (!fs::exists(WineFontsFolder() / "tahoma.ttf")) {
    why = "Wine's fonts are missing in " + WineFontsFolder().string() +
          " (scripts/install-deps.sh installs fonts-wine)";
    return false;
  }
  if (!StartDisplay()) {
    why = "Xvfb could not be started";
    return false;
  }
  prefix_ = std::make_unique<TempDir>();
  // Booting a fresh prefix takes most of the session's start-up: it is done once, and the server
  // is kept running for every later program.
  if (RunCommand(Environment(), ShellQuote(wine_), "wineboot -i").status != 0) {
    why = "wineboot failed";
    return false;
  }
  RunCommand(Environment(), ShellQuote(fs::path(wine_).replace_filename("wineserver").string()), "-p");
  // The dialogs' "MS Shell Dlg" is Tahoma, as on Windows. Wine's own Tahoma (Debian's fonts-wine)
  // has its metrics, so every template text fits as it does there; Debian keeps it outside the
  // font folders that Wine searches, so the prefix's Fonts folder gets it with Wine's other fonts
  // (Marlett draws the frames' buttons).
  LinkWineFonts();
  // Tahoma borrows its Japanese glyphs from "MS UI Gothic", as on a Japanese Windows; the host's
  // IPA P Gothic, proportional like it, stands in for it. Without a window manager Wine draws the
  // frames itself.
  const std::vector<std::vector<std::string>> settings = {
      {"HKCU\\Software\\Wine\\Fonts\\Replacements", "MS UI Gothic", "IPAPGothic"},
      {"HKCU\\Software\\Wine\\X11 Driver", "Managed", "N"},
      {"HKCU\\Software\\Wine\\X11 Driver", "Decorated", "Y"},
  };
  for (const auto& setting : settings) {
    Windows("reg", {"add", setting[0], "/v", setting[1], "/d", setting[2], "/f"});
  }
  return true;
}

void WineSession::LinkWineFonts() const {
  const fs::path prefixFonts = prefix_->path() / "drive_c/windows/Fonts";
  std::error_code error;
  fs::create_directories(prefixFonts, error);
  for (const auto& font : fs::directory_iterator(WineFontsFolder(), error)) {
    // Without its own bold face, bold Tahoma (the captions) is made from the regular one and
    // borrows the Japanese glyphs as the regular one does.
    if (font.path().filename() == "tahomabd.ttf") continue;
    fs::create_symlink(font.path(), prefixFonts / font.path().filename(), error);
  }
}

WineSession::~WineSession() {
  if (prefix_ != nullptr) {
    RunCommand(Environment(), ShellQuote(fs::path(wine_).replace_filename("wineserver").string()), "-k");
  }
  if (displayPid_ > 0) {
    kill(displayPid_, SIGTERM);
    waitpid(displayPid_, nullptr, 0);
  }
}

std::string WineSession::SendToFolder() const {
  // Wine names the prefix's user after the account that runs it.
  const passwd* account = getpwuid(getuid());
  const std::string name = account != nullptr ? account->pw_name : "root";
  return (prefix_->path() / "drive_c/users" / name / "AppData/Roaming/Microsoft/Windows/SendTo").string();
}

WineSession::Run WineSession::Windows(const std::string& program,
                                      const std::vector<std::string>& args) const {
  std::string words = ShellQuote(program);
  for (const auto& arg : args) words += " " + ShellQuote(arg);
  const CommandResult result = RunCommand(Environment(), ShellQuote(wine_), words);
  return {result.status, ProbeOutput(result.out)};
}

WineSession::Run WineSession::Probe(const std::vector<std::string>& args) const {
  return Windows(probePath_, args);
}

}  // namespace wharfling::testing
