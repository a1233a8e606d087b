#pragma once
// The file list's rows, kept in the order the list control shows them (ascending by name), each
// carrying the identity of its upload item so that statuses reach the item's own row.

#include <cstddef>
#include <optional>
#include <vector>

#include "text/text.h"
#include "ui/dialog_view.h"

namespace wharfling {

class FileList {
 public:
  static constexpr int kColumnCount = 3;
  struct Row {
    std::size_t item;
    Text cells[kColumnCount];
  };

  explicit FileList(DialogView& view) : view_(view) {}

  bool InsertColumn(int column, const Text& header, int width);
  int columnCount() const { return columns_; }
  // Inserts a row for item at its sorted place (after rows that compare equal) and returns it.
  int InsertRow(const Text& name, std::size_t item);
  void SetCell(int row, int column, const Text& text);
  // The row of an item, if it has one.
  std::optional<int> RowOf(std::size_t item) const;
  const std::vector<Row>& rows() const { return rows_; }

 private:
  DialogView& view_;
  std::vector<Row> rows_;
  int columns_ = 0;
};

}  // namespace wharfling
