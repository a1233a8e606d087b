#pragma once
// A dialog view for tests: keeps every control's state, records message boxes and answers the
// choosers from a script.

#include <deque>
#include <functional>
#include <vector>

#include "ui/memory_view.h"

namespace wharfling::testing {

class RecordingView : public MemoryView {
 public:
  void ShowMessage(const Text& text) override { messages.push_back(text); }
  ChooserOutcome RunSiteChooser(const std::vector<Text>& entries) override {
    siteChooserEntries = entries;
    return Next();
  }
  ChooserOutcome RunAlbumChooser(const std::vector<Text>& albums) override {
    albumChooserEntries.push_back(albums);
    return Next();
  }
  void SetCell(int row, int column, const Text& text) override {
    MemoryView::SetCell(row, column, text);
    if (onCell) onCell(row, column, text);
  }

  std::vector<Text> messages;
  std::vector<Text> siteChooserEntries;
  std::vector<std::vector<Text>> albumChooserEntries;
  // Outcomes handed to the choosers in turn; once used up, a chooser closes without a choice.
  std::deque<ChooserOutcome> chooserOutcomes;
  // Called after every cell change, for tests that act in the middle of a run.
  std::function<void(int row, int column, const Text& text)> onCell;

 private:
  ChooserOutcome Next() {
    if (chooserOutcomes.empty()) return {};
    const ChooserOutcome outcome = chooserOutcomes.front();
    chooserOutcomes.pop_front();
    return outcome;
  }
};

}  // namespace wharfling::testing
