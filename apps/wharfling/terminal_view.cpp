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

}  // namespace

void TerminalView::ShowMessage(const Text& text) {
  messages_.push_back(text);
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
    std::fprintf(options_.out, "[%d/%d] %s\n", position, progressUpper(), OneLine(lastStatusLine_).c_str());
  }
  lastStatusLine_.clear();
}

}  // namespace wharfling::cli
