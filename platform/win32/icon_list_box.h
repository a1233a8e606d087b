#pragma once
// An owner-drawn list box whose rows carry an icon from an attached image list next to their
// word-wrapped text. The parent passes its measure and draw requests on; the drawing steps can be
// overridden.

#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include <deque>
#include <string>

#include "text/text.h"

namespace wharfling::win32 {

class IconListBox {
 public:
  struct RowRecord {
    int imageIndex = 0;
    UINT textFormat = 0;  // extra text-drawing flags
    unsigned flags = 0;   // bit 0: disabled
    bool disabled() const { return (flags & 1u) != 0; }
  };

  IconListBox() = default;
  virtual ~IconListBox();
  IconListBox(const IconListBox&) = delete;
  IconListBox& operator=(const IconListBox&) = delete;

  void Attach(HWND listBox);
  HWND window() const { return listBox_; }
  // Appends a row; its index, or the list box's error value (then no record is made).
  int AddItem(const Text& text, int imageIndex);
  // Attaches an image list (or none), remembers its icon size and repaints.
  void SetImageList(HIMAGELIST images);
  SIZE iconSize() const { return iconSize_; }

  void OnMeasureItem(MEASUREITEMSTRUCT& measure);
  void OnDrawItem(const DRAWITEMSTRUCT& draw);

 protected:
  virtual void FillTextBackground(HDC dc, const RECT& area, bool selected, bool disabled);
  virtual void FillIconBackground(HDC dc, const RECT& area, bool selected, bool disabled);
  virtual void DrawIcon(HDC dc, int imageIndex, POINT at, bool disabled);

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
  const RowRecord* Record(UINT row) const;
  std::wstring RowText(UINT row) const;

  HWND listBox_ = nullptr;
  HIMAGELIST images_ = nullptr;
  SIZE iconSize_{0, 0};
  std::deque<RowRecord> records_;              // freed with the control's owner
  const std::wstring* pendingText_ = nullptr;  // the row being added, measured before it is stored
};

}  // namespace wharfling::win32
