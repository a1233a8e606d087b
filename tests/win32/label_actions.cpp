#include "tests/win32/label_actions.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/win32/probe_output.h"

namespace wharfling::probe {
namespace {

constexpr int kMakerLabel = 208;

std::string ColourOf(HWND dialog, HWND label) {
  HDC dc = CreateCompatibleDC(nullptr);
  SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label));
  const COLORREF colour = GetTextColor(dc);
  DeleteDC(dc);
  char text[8];
  std::snprintf(text, sizeof text, "%02x%02x%02x", GetRValue(colour), GetGValue(colour), GetBValue(colour));
  return text;
}

std::string Underline(HWND label) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)), sizeof font, &font);
  return font.lfUnderline ? "underlined" : "plain";
}

// The cursor the label sets when the system asks it, seen through the dialog thread's input state.
std::string CursorOf(HWND label) {
  const DWORD ui = GetWindowThreadProcessId(label, nullptr);
  AttachThreadInput(GetCurrentThreadId(), ui, TRUE);
  const LRESULT handled =
      SendMessageW(label, WM_SETCURSOR, reinterpret_cast<WPARAM>(label), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  const HCURSOR cursor = GetCursor();
  AttachThreadInput(GetCurrentThreadId(), ui, FALSE);
  if (!handled) return "default";
  return cursor != nullptr && cursor != LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)) ? "hand" : "arrow";
}

std::string ReadWhole(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

void ExerciseLabel(HWND dialog, const std::string& openedFile, const std::atomic<int>& messagesSeen) {
  HWND label = GetDlgItem(dialog, kMakerLabel);
  Print("link.colour", ColourOf(dialog, label));
  RECT frame{};
  GetWindowRect(label, &frame);
  SetCursorPos((frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2);
  SendMessageW(label, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
  Sleep(300);  // some ticks of the hover timer, the pointer still over the label
  Print("hover.colour", ColourOf(dialog, label));
  Print("hover.cursor", CursorOf(label));
  SetCursorPos(0, 0);
  Sleep(400);
  Print("left.colour", ColourOf(dialog, label));
  Print("left.underline", Underline(label));

  const int messagesBefore = messagesSeen;
  PostMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  PostMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  std::string opened = "nothing";
  for (int waited = 0; waited < 10000 && messagesSeen == messagesBefore; waited += 50) {
    if (GetFileAttributesA(openedFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
      Sleep(200);  // the program writes and closes it
      opened = ReadWhole(openedFile);
      break;
    }
    Sleep(50);
  }
  Print("opened", opened);
  Sleep(300);
  Print("clicked.colour", ColourOf(dialog, label));
}

int Record(const std::string& file, const std::string& text) {
  // Written beside and renamed, so that a reader never sees half of it.
  const std::string partial = file + ".part";
  {
    std::ofstream out(partial, std::ios::binary);
    out << text;
  }
  return MoveFileExA(partial.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}

}  // namespace wharfling::probe
