#include "ui/memory_view.h"

#include <algorithm>

namespace wharfling {

bool MemoryView::InsertColumn(int column, const Text& header, int width) {
  if (column < 0 || column > static_cast<int>(columns_.size())) return false;
  columns_.insert(columns_.begin() + column, Column{header, width});
  for (auto& row : rows_) row.resize(columns_.size());
  return true;
}

void MemoryView::InsertRow(int row, const Text& name) {
  row = std::clamp(row, 0, static_cast<int>(rows_.size()));
  std::vector<Text> cells(std::max<std::size_t>(columns_.size(), 1));
  cells[0] = name;
  rows_.insert(rows_.begin() + row, std::move(cells));
}

void MemoryView::SetCell(int row, int column, const Text& text) {
  if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0) return;
  auto& cells = rows_[static_cast<std::size_t>(row)];
  if (column >= static_cast<int>(cells.size())) return;
  cells[static_cast<std::size_t>(column)] = text;
}

void MemoryView::AutoSizeColumn(int column) {
  if (column < 0 || column >= static_cast<int>(columns_.size())) return;
  std::size_t widest = 0;
  for (const auto& row : rows_) widest = std::max(widest, row[static_cast<std::size_t>(column)].size());
  // Roughly the pixels of the widest text in the dialog font.
  columns_[static_cast<std::size_t>(column)].width = static_cast<int>(widest) * 7 + 12;
}

Text MemoryView::ControlText(int id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? Text() : found->second.text;
}

bool MemoryView::IsChecked(int id) const {
  const auto found = controls_.find(id);
  return found != controls_.end() && found->second.checked;
}

void MemoryView::SetLink(const Text& target, int underlineMode) {
  linkTarget_ = target;
  underlineMode_ = underlineMode;
}

MemoryView::ControlState MemoryView::control(int id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? ControlState{} : found->second;
}

}  // namespace wharfling
