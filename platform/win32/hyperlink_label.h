#pragma once
// A static text control made into a web link: link colours, a hand cursor, a tooltip with the
// target, underlining by mode, and opening the target on a click, with the registered HTML handler
// as the fallback and a readable message when both fail. The parent reflects the control's colour
// request and click notification to it.

#include <windows.h>

#include <string>

#include "text/text.h"

namespace wharfling::win32 {

class HyperlinkLabel {
 public:
  static constexpr UINT_PTR kHoverTimerId = 100;

  HyperlinkLabel() = default;
  ~HyperlinkLabel();
  HyperlinkLabel(const HyperlinkLabel&) = delete;
  HyperlinkLabel& operator=(const HyperlinkLabel&) = delete;

  // Takes over an existing static control. appName: the caption of the error message.
  void Attach(HWND control, std::string appName);
  void SetLinkTarget(const Text& target);
  void SetUnderlineMode(int mode);
  void SetVisited(bool visited);

  HWND window() const { return control_; }
  int underlineMode() const { return underlineMode_; }
  bool visited() const { return visited_; }

  // The reflected colour request: sets the text colour and answers a hollow brush.
  HBRUSH OnColour(HDC dc) const;
  // The reflected click: opens the target.
  void OnClicked();

  // Opens address with the shell's "open" verb, else with the registered HTML handler; the
  // launcher's result code, above 32 for success.
  static long long OpenLink(const std::string& address, int show);

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void SendTooltip(UINT message);
  void SelectFont(HFONT font, bool repaint);
  void ResizeToText();
  void OnMouseMove();
  void OnHoverTimer();

  HWND control_ = nullptr;
  HWND tooltip_ = nullptr;
  std::string appName_;
  Text linkTarget_;
  HFONT normalFont_ = nullptr;
  HFONT underlinedFont_ = nullptr;
  int underlineMode_ = -1;
  HCURSOR handCursor_ = nullptr;
  COLORREF linkColour_ = RGB(0, 0, 238);
  COLORREF visitedColour_ = RGB(85, 26, 139);
  COLORREF hoverColour_ = RGB(255, 0, 0);
  bool hovering_ = false;
  bool visited_ = false;
  bool autoSize_ = true;
};

}  // namespace wharfling::win32
