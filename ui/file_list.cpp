#include "ui/file_list.h"

#include <algorithm>

namespace wharfling {

bool FileList::InsertColumn(int column, const Text& header, int width) {
  if (!view_.InsertColumn(column, header, width)) return false;
  columns_ = std::max(columns_, column + 1);
  return true;
}

int FileList::InsertRow(const Text& name, std::size_t item) {
  // Ascending, ignoring the case of ASCII letters, as the list control sorts its labels.
  const Text key = LowerCaseText(name);
  const auto place = std::upper_bound(rows_.begin(), rows_.end(), key, [](const Text& k, const Row& row) {
    return k < LowerCaseText(row.cells[0]);
  });
  const int row = static_cast<int>(place - rows_.begin());
  Row inserted{item, {name, Text(), Text()}};
  rows_.insert(place, std::move(inserted));
  view_.InsertRow(row, name);
  return row;
}

void FileList::SetCell(int row, int column, const Text& text) {
  if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 || column >= columns_) return;
  rows_[static_cast<std::size_t>(row)].cells[column] = text;
  view_.SetCell(row, column, text);
}

std::optional<int> FileList::RowOf(std::size_t item) const {
  for (std::size_t row = 0; row < rows_.size(); ++row) {
    if (rows_[row].item == item) return static_cast<int>(row);
  }
  return std::nullopt;
}

}  // namespace wharfling
