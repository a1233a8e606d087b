#include "platform/win32/icon_list_box.h"

#include "platform/win32/wide_text.h"

namespace wharfling::win32 {
namespace {

constexpr UINT_PTR kSubclassId = 2;
constexpr UINT kWrap = DT_WORDBREAK | DT_EXPANDTABS;

// The icon area's width: the icon and its margins, or nothing without icons.
int IconAreaWidth(HIMAGELIST images, SIZE icon) { return images != nullptr ? icon.cx + 6 : 0; }

}  // namespace

IconListBox::~IconListBox() {
  if (listBox_ != nullptr && IsWindow(listBox_)) RemoveWindowSubclass(listBox_, SubclassProc, kSubclassId);
}

void IconListBox::Attach(HWND listBox) {
  listBox_ = listBox;
  SetWindowSubclass(listBox_, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

int IconListBox::AddItem(const Text& text, int imageIndex) {
  const std::wstring wide = Cp932ToWide(text);
  pendingText_ = &wide;
  const auto row =
      static_cast<int>(SendMessageW(listBox_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str())));
  pendingText_ = nullptr;
  if (row < 0) return row;
  records_.push_back({imageIndex, 0, 0});
  SendMessageW(listBox_, LB_SETITEMDATA, static_cast<WPARAM>(row), static_cast<LPARAM>(records_.size()));
  return row;
}

void IconListBox::SetImageList(HIMAGELIST images) {
  images_ = images;
  int width = 0;
  int height = 0;
  if (images_ != nullptr) ImageList_GetIconSize(images_, &width, &height);
  iconSize_ = {width, height};
  if (listBox_ != nullptr) InvalidateRect(listBox_, nullptr, TRUE);
}

const IconListBox::RowRecord* IconListBox::Record(UINT row) const {
  const auto number = SendMessageW(listBox_, LB_GETITEMDATA, row, 0);
  if (number <= 0 || static_cast<std::size_t>(number) > records_.size()) return nullptr;
  return &records_[static_cast<std::size_t>(number) - 1];
}

std::wstring IconListBox::RowText(UINT row) const {
  const auto length = SendMessageW(listBox_, LB_GETTEXTLEN, row, 0);
  if (length == LB_ERR) return pendingText_ != nullptr ? *pendingText_ : std::wstring();
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(listBox_, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

void IconListBox::OnMeasureItem(MEASUREITEMSTRUCT& measure) {
  std::wstring text = pendingText_ != nullptr ? *pendingText_ : RowText(measure.itemID);
  RECT area{};
  GetClientRect(listBox_, &area);
  // Measured in the width the text is drawn in, beside the icon, so that no wrapped line is cut off.
  area.right -= IconAreaWidth(images_, iconSize_);
  HDC dc = GetDC(listBox_);
  const HGDIOBJ previous =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(listBox_, WM_GETFONT, 0, 0)));
  DrawTextW(dc, text.c_str(), -1, &area, DT_CALCRECT | kWrap);
  SelectObject(dc, previous);
  ReleaseDC(listBox_, dc);
  int height = area.bottom - area.top;
  if (images_ != nullptr && height < iconSize_.cy + 4) height = iconSize_.cy + 4;
  measure.itemHeight = static_cast<UINT>(height + 4);
}

void IconListBox::FillTextBackground(HDC dc, const RECT& area, bool selected, bool) {
  FillRect(dc, &area, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
}

void IconListBox::FillIconBackground(HDC dc, const RECT& area, bool selected, bool) {
  FillRect(dc, &area, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
}

void IconListBox::DrawIcon(HDC dc, int imageIndex, POINT at, bool disabled) {
  if (disabled) {
    ImageList_DrawEx(images_, imageIndex, dc, at.x, at.y, 0, 0, CLR_NONE, GetSysColor(COLOR_WINDOW),
                     ILD_BLEND50);
  } else {
    ImageList_Draw(images_, imageIndex, dc, at.x, at.y, ILD_TRANSPARENT);
  }
}

void IconListBox::OnDrawItem(const DRAWITEMSTRUCT& draw) {
  if (draw.itemID == static_cast<UINT>(-1)) return;
  const RowRecord* record = Record(draw.itemID);
  const RowRecord plain;
  if (record == nullptr) record = &plain;
  const bool disabled = record->disabled();
  const bool selected = (draw.itemState & ODS_SELECTED) != 0 && !disabled;
  HDC dc = draw.hDC;

  RECT iconArea = draw.rcItem;
  iconArea.right = iconArea.left + IconAreaWidth(images_, iconSize_);
  RECT textArea = draw.rcItem;
  textArea.left = iconArea.right;
  if (images_ != nullptr) {
    FillIconBackground(dc, iconArea, selected, disabled);
    DrawIcon(dc, record->imageIndex, {draw.rcItem.left + 3, draw.rcItem.top + 2}, disabled);
  }
  FillTextBackground(dc, textArea, selected, disabled);

  COLORREF colour = GetSysColor(COLOR_WINDOWTEXT);
  if (disabled) {
    colour = GetSysColor(COLOR_GRAYTEXT);
  } else if (selected) {
    colour = ~colour & 0x00FFFFFF;
  }
  const std::wstring text = RowText(draw.itemID);
  RECT measured = textArea;
  DrawTextW(dc, text.c_str(), -1, &measured, DT_CALCRECT | kWrap | record->textFormat);
  RECT placed = textArea;
  placed.top += ((textArea.bottom - textArea.top) - (measured.bottom - measured.top)) / 2;
  const int previousMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF previousColour = SetTextColor(dc, colour);
  DrawTextW(dc, text.c_str(), -1, &placed, kWrap | record->textFormat);
  SetTextColor(dc, previousColour);
  SetBkMode(dc, previousMode);

  if ((draw.itemState & ODS_FOCUS) != 0 && !disabled) DrawFocusRect(dc, &draw.rcItem);
}

LRESULT CALLBACK IconListBox::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR self) {
  auto* list = reinterpret_cast<IconListBox*>(self);
  if (message == WM_LBUTTONDBLCLK) {
    // A double-click on a disabled row never reaches the parent.
    const auto hit = SendMessageW(window, LB_ITEMFROMPOINT, 0, lParam);
    if (HIWORD(hit) == 0) {
      const RowRecord* record = list->Record(LOWORD(hit));
      if (record != nullptr && record->disabled()) return 0;
    }
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace wharfling::win32
