#pragma once
// The upload dialog in a terminal: message boxes and progress are printed, the choosers prompt
// when there is a terminal to answer them, or take the answer given on the command line.

#include <chrono>
#include <cstdint>
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
  bool inPlace = false;                  // out is a terminal: a changing line is rewritten in place
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
  // How far the upload of a file over 1 MB has gone (with progress on): one line rewritten in place
  // on a terminal, else a line per tenth of the file.
  void ShowBytesSent(const std::string& name, std::uint64_t sent, std::uint64_t total);
  // Ends a byte-count line left open on the terminal, before anything else is printed there.
  void CloseBytesLine();
  const std::vector<Text>& messages() const { return messages_; }

 private:
  ChooserOutcome Prompt(const char* what, const std::vector<Text>& entries);

  TerminalOptions options_;
  std::vector<Text> messages_;
  bool reporting_ = false;
  Text lastStatusLine_;
  struct BytesLine {
    std::string name;
    std::uint64_t total = 0;
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point shown;
    int tenthsShown = 0;
    bool open = false;  // a line rewritten in place waits for its end
    std::uint64_t lastSent = 0;
  } bytes_;
};

}  // namespace wharfling::cli
