#pragma once
// StatusBar1: the common status bar with five panels; panel 2 is owner-drawn and shows the
// gauge (CGauge1), which the bar's parent paints when the bar asks it to (WM_DRAWITEM).

#include <windows.h>

#include <string>
#include <string_view>

#include "ui/win32/fonts.h"

#include "ui/win32/gauge.h"

namespace kv218 {

class StatusBar {
 public:
  StatusBar(HWND parent, int id);

  HWND Handle() const { return bar_; }
  void SetPanelText(int panel, std::string_view text);
  std::wstring PanelText(int panel) const;
  // The gauge, clamped to 0..100; repaints panel 2 when the shown value changes.
  void SetProgress(int percent);
  int Progress() const { return progress_; }
  // The gauge's bar green while a pass is shown, red while a failure is, blue otherwise.
  enum class Look { Neutral, Passed, Failed };
  void ShowLook(Look look);
  COLORREF BarColour() const;
  // The parent's WM_SIZE: the bar spans the bottom edge.
  void FollowParent();
  // The parent's WM_DRAWITEM for the bar: paints the gauge. True when it was the bar's.
  bool OnDrawItem(const DRAWITEMSTRUCT& item);

 private:
  HWND bar_;
  Font gaugeFont_;
  int progress_ = 0;
  Look look_ = Look::Neutral;
  void RepaintGauge();
};

}  // namespace kv218
