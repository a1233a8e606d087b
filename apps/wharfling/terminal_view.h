#pragma once
// The upload dialog in a terminal: message boxes and progress are printed, the choosers prompt
// when there is a terminal to answer them, or take the answer given on the command line.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "ui/memory_view.h"

namespace wharfling::cli {

struct TerminalOptions {
  bool interactive = false;              // prompt on the terminal for chooser answers
  std::optional<int> siteEntry;          // answer for the site chooser, an entry number
  std::optional<std::string> albumUtf8;  // answer for the album chooser, an album's text
  std::FILE* out = stderr;               // where messages and progress go; null for none
  bool progress = false;                 // print a line per file handled
};

class TerminalView final : public MemoryView {
 public:
  explicit TerminalView(TerminalOptions options) : options_(std::move(options)) {}

  void ShowMessage(const Text& text) override;
  ChooserOutcome RunSiteChooser(const std::vector<Text>& entries) override;
  ChooserOutcome RunAlbumChooser(const std::vector<Text>& albums) override;
  void SetCell(int row, int column, const Text& text) override;
  void SetProgressPosition(int position) override;

  // From now on status changes and progress are reported as they happen.
  void StartReportingProgress() { reporting_ = true; }
  const std::vector<Text>& messages() const { return messages_; }

 private:
  ChooserOutcome Prompt(const char* what, const std::vector<Text>& entries);

  TerminalOptions options_;
  std::vector<Text> messages_;
  bool reporting_ = false;
  Text lastStatusLine_;
};

}  // namespace wharfling::cli
