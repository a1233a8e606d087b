#include "platform/win32/choosers.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

#include "platform/win32/icon_list_box.h"
#include "platform/win32/resource_ids.h"
#include "platform/win32/wide_text.h"

namespace wharfling::win32 {
namespace {

constexpr int kButtonWidth = 100;  // pixels, as the pages had them, where the list is wide enough
constexpr int kButtonHeight = 24;
constexpr int kMargin = 8;
constexpr wchar_t kCancelText[] = L"\u30AD\u30E3\u30F3\u30BB\u30EB";

struct ChooserState {
  const std::vector<Text>& entries;
  int listId;
  ChooserOutcome outcome;
  IconListBox icons;  // the site chooser's list
  HIMAGELIST images = nullptr;
};

// Grows the dialog by a strip under its list and puts OK and キャンセル there, right-aligned, visible.
void ShowButtonStrip(HWND dialog, HWND list) {
  RECT listRect{};
  GetWindowRect(list, &listRect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&listRect), 2);
  RECT frame{};
  GetWindowRect(dialog, &frame);
  RECT client{};
  GetClientRect(dialog, &client);
  const int stripTop = listRect.bottom + kMargin;
  const int newClientHeight = stripTop + kButtonHeight + kMargin;
  SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left,
               (frame.bottom - frame.top) + (newClientHeight - client.bottom), SWP_NOMOVE | SWP_NOZORDER);
  const auto font = SendMessageW(dialog, WM_GETFONT, 0, 0);
  const int right = listRect.right;
  // Under a list narrower than the two buttons (the album chooser's) they share its width, so that
  // neither reaches past the dialog's left edge.
  const int width = std::min<int>(kButtonWidth, (listRect.right - listRect.left - kMargin) / 2);
  const struct {
    int id;
    const wchar_t* text;
    int left;
  } buttons[] = {{IDOK, L"OK", right - 2 * width - kMargin}, {IDCANCEL, kCancelText, right - width}};
  for (const auto& button : buttons) {
    HWND window = GetDlgItem(dialog, button.id);
    if (window == nullptr) {
      window = CreateWindowExW(0, L"BUTTON", button.text,
                               WS_CHILD | WS_TABSTOP | (button.id == IDOK ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                               0, 0, 0, 0, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(button.id)),
                               nullptr, nullptr);
      SendMessageW(window, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    }
    SetWindowPos(window, nullptr, button.left, stripTop, width, kButtonHeight, SWP_NOZORDER);
    ShowWindow(window, SW_SHOW);
  }
}

void InitSiteChooser(HWND dialog, ChooserState& state) {
  const auto module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
  HWND list = GetDlgItem(dialog, WHARFLING_IDC_SITE_LIST);
  state.icons.Attach(list);
  state.images = ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, 5, 1);
  for (const int id : kSiteIconIds) {
    ImageList_AddIcon(state.images,
                      static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, 32, 32, 0)));
  }
  state.icons.SetImageList(state.images);
  for (std::size_t k = 0; k < state.entries.size(); ++k)
    state.icons.AddItem(state.entries[k], static_cast<int>(k));
  ShowButtonStrip(dialog, list);
}

void InitAlbumChooser(HWND dialog, ChooserState& state) {
  HWND list = GetDlgItem(dialog, WHARFLING_IDC_ALBUM_LIST);
  for (const auto& album : state.entries) {
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Cp932ToWide(album).c_str()));
  }
  ShowButtonStrip(dialog, list);
}

INT_PTR CALLBACK ChooserProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<ChooserState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<ChooserState*>(lParam);
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      if (state->listId == WHARFLING_IDC_SITE_LIST) {
        InitSiteChooser(dialog, *state);
      } else {
        InitAlbumChooser(dialog, *state);
      }
      return TRUE;
    case WM_MEASUREITEM:
      if (state == nullptr || state->icons.window() == nullptr) return FALSE;
      state->icons.OnMeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_DRAWITEM:
      if (state == nullptr || state->icons.window() == nullptr) return FALSE;
      state->icons.OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      if (state != nullptr && LOWORD(wParam) == state->listId && HIWORD(wParam) == LBN_DBLCLK) {
        const auto selection =
            static_cast<int>(SendMessageW(reinterpret_cast<HWND>(lParam), LB_GETCURSEL, 0, 0));
        // The album chooser ignores a double-click that found no row; the site chooser takes it as no choice.
        if (selection < 0 && state->listId == WHARFLING_IDC_ALBUM_LIST) return TRUE;
        state->outcome = {true, selection};
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

ChooserOutcome RunChooser(HINSTANCE module, int templateId, int listId, const std::vector<Text>& entries) {
  ChooserState state{entries, listId, {}, {}, nullptr};
  DialogBoxParamW(module, MAKEINTRESOURCEW(templateId), nullptr, ChooserProc,
                  reinterpret_cast<LPARAM>(&state));
  if (state.images != nullptr) ImageList_Destroy(state.images);
  return state.outcome;
}

}  // namespace

ChooserOutcome RunSiteChooserDialog(HINSTANCE module, const std::vector<Text>& entries) {
  return RunChooser(module, WHARFLING_IDD_SITE_CHOOSER, WHARFLING_IDC_SITE_LIST, entries);
}

ChooserOutcome RunAlbumChooserDialog(HINSTANCE module, const std::vector<Text>& albums) {
  return RunChooser(module, WHARFLING_IDD_ALBUM_CHOOSER, WHARFLING_IDC_ALBUM_LIST, albums);
}

}  // namespace wharfling::win32
