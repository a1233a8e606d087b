#include "apps/wharfling/terminal_view.h"

#include <iostream>

#include "platform/posix/encoding.h"

namespace wharfling::cli {
namespace {

// Texts come from pages and file names: control characters are escaped before they reach the terminal.
std::string OneLine(const Text& text) {
  std::string line = posix::Cp932ToUtf8(text);
  for (std::size_t at = line.find('\n'); at != std::string::npos; at = line.find('\n', at)) {
    line.replace(at, 1, " - ");
  }
  return posix::EscapeControls(line);
}

std::string Lines(const Text& text) { return posix::EscapeControls(posix::Cp932ToUtf8(text), true); }

constexpr std::uint64_t kBytesShownFrom = 1'000'000;

std::string Megabytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

std::string Rate(std::uint64_t bytes, std::chrono::steady_clock::duration taken) {
  const double seconds = std::chrono::duration<double>(taken).count();
  char text[32];
  std::snprintf(text, sizeof text, "%.0f KiB/s",
                seconds > 0 ? static_cast<double>(bytes) / 1024 / seconds : 0.0);
  return text;
}

}  // namespace

void TerminalView::ShowBytesSent(const std::string& name, std::uint64_t sent, std::uint64_t total) {
  if (!reporting_ || !options_.progress || !options_.out || total <= kBytesShownFrom) return;
  const auto now = std::chrono::steady_clock::now();
  if (bytes_.name != name || bytes_.total != total || sent < bytes_.lastSent) {  // another send
    CloseBytesLine();
    bytes_ = {name, total, now, {}, 0, false, 0};
  }
  bytes_.lastSent = sent;
  const std::string line = posix::EscapeControls(name) + ": " + Megabytes(sent) + " of " + Megabytes(total) +
                           ", " + Rate(sent, now - bytes_.start);
  if (options_.inPlace) {
    // At most five times a second, and always the last count.
    if (sent < total && now - bytes_.shown < std::chrono::milliseconds(200)) return;
    bytes_.shown = now;
    std::fprintf(options_.out, "\r\033[K%s", line.c_str());
    bytes_.open = sent < total;
    if (!bytes_.open) std::fputc('\n', options_.out);
  } else {
    const int tenths = static_cast<int>(sent * 10 / total);
    if (tenths <= bytes_.tenthsShown) return;
    bytes_.tenthsShown = tenths;
    std::fprintf(options_.out, "%s\n", line.c_str());
  }
  std::fflush(options_.out);
}

void TerminalView::CloseBytesLine() {
  if (!bytes_.open) return;
  std::fputc('\n', options_.out);
  bytes_.open = false;
}

void TerminalView::ShowMessage(const Text& text) {
  messages_.push_back(text);
  CloseBytesLine();
  if (options_.out) std::fprintf(options_.out, "[message] %s\n", Lines(text).c_str());
}

ChooserOutcome TerminalView::Prompt(const char* what, const std::vector<Text>& entries) {
  std::fprintf(stderr, "Choose %s (a number, empty for none):\n", what);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::fprintf(stderr, "  %zu) %s\n", i, OneLine(entries[i]).c_str());
  }
  std::string answer;
  while (true) {
    std::fprintf(stderr, "> ");
    if (!std::getline(std::cin, answer) || answer.empty()) return {};
    try {
      std::size_t used = 0;
      const int entry = std::stoi(answer, &used);
      if (used == answer.size() && entry >= 0 && entry < static_cast<int>(entries.size()))
        return {true, entry};
    } catch (const std::exception&) {
    }
    std::fprintf(stderr, "Please give a number from 0 to %zu.\n", entries.size() - 1);
  }
}

ChooserOutcome TerminalView::RunSiteChooser(const std::vector<Text>& entries) {
  if (options_.siteEntry) {
    const int entry = *options_.siteEntry;
    if (entry >= 0 && entry < static_cast<int>(entries.size())) return {true, entry};
    return {};
  }
  return options_.interactive ? Prompt("a destination", entries) : ChooserOutcome{};
}

ChooserOutcome TerminalView::RunAlbumChooser(const std::vector<Text>& albums) {
  if (options_.albumUtf8) {
    const Text wanted = posix::Utf8ToCp932(*options_.albumUtf8);
    for (std::size_t i = 0; i < albums.size(); ++i) {
      if (albums[i] == wanted) return {true, static_cast<int>(i)};
    }
    return {};
  }
  return options_.interactive ? Prompt("an album", albums) : ChooserOutcome{};
}

void TerminalView::SetCell(int row, int column, const Text& text) {
  MemoryView::SetCell(row, column, text);
  if (reporting_ && column == 2 && row >= 0 && row < static_cast<int>(rows().size())) {
    lastStatusLine_ = rows()[static_cast<std::size_t>(row)][0] + "  " + text;
  }
}

void TerminalView::SetProgressPosition(int position) {
  MemoryView::SetProgressPosition(position);
  if (reporting_ && options_.progress && options_.out) {
    CloseBytesLine();
    std::fprintf(options_.out, "[%d/%d] %s\n", position, progressUpper(), OneLine(lastStatusLine_).c_str());
  }
  lastStatusLine_.clear();
}

}  // namespace wharfling::cli
