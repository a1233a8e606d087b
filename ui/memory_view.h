#pragma once
// A dialog view that keeps the state of every control in memory: the base of the terminal front
// end and of the tests' recording view. Message boxes and choosers are left to subclasses.

#include <map>
#include <vector>

#include "ui/dialog_view.h"

namespace wharfling {

class MemoryView : public DialogView {
 public:
  struct ControlState {
    Text text;
    bool visible = true;
    bool enabled = true;
    bool checked = false;
  };
  struct Column {
    Text header;
    int width = 0;
  };

  void SetTitle(const Text& title) override { title_ = title; }
  void SetFullRowSelect() override { fullRowSelect_ = true; }
  bool InsertColumn(int column, const Text& header, int width) override;
  void InsertRow(int row, const Text& name) override;
  void SetCell(int row, int column, const Text& text) override;
  void AutoSizeColumn(int column) override;
  void SetProgressRange(int upper) override { progressUpper_ = upper; }
  void SetProgressPosition(int position) override { progressPosition_ = position; }
  void ShowControl(int id, bool visible) override { controls_[id].visible = visible; }
  void EnableControl(int id, bool enabled) override { controls_[id].enabled = enabled; }
  void SetControlText(int id, const Text& text) override { controls_[id].text = text; }
  Text ControlText(int id) const override;
  void SetChecked(int id, bool checked) override { controls_[id].checked = checked; }
  bool IsChecked(int id) const override;
  void SetLink(const Text& target, int underlineMode) override;

  const Text& title() const { return title_; }
  const std::vector<Column>& columns() const { return columns_; }
  // Rows as shown: each row's cells, column by column.
  const std::vector<std::vector<Text>>& rows() const { return rows_; }
  int progressUpper() const { return progressUpper_; }
  int progressPosition() const { return progressPosition_; }
  ControlState control(int id) const;
  const Text& linkTarget() const { return linkTarget_; }
  int underlineMode() const { return underlineMode_; }

 private:
  Text title_;
  bool fullRowSelect_ = false;
  std::vector<Column> columns_;
  std::vector<std::vector<Text>> rows_;
  int progressUpper_ = 100;
  int progressPosition_ = 0;
  std::map<int, ControlState> controls_;
  Text linkTarget_;
  int underlineMode_ = -1;
};

}  // namespace wharfling
