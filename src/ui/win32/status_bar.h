#pragma once
// StatusBar1: the common status bar with five panels, each drawn by the window (the bar's
// parent paints them when the bar asks it to, WM_DRAWITEM): the texts with a margin that keeps
// them clear of the dividers, and in panel 2 the gauge (CGauge1).

#include <windows.h>

#include <array>
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
  // The screen's dots per inch changed (or are first known): panels and fonts scaled.
  void SetDpi(int dpi);
  // The parent's WM_DRAWITEM for the bar: paints the gauge. True when it was the bar's.
  bool OnDrawItem(const DRAWITEMSTRUCT& item);

 private:
  HWND bar_;
  Font font_;
  Font gaugeFont_;
  int dpi_ = 96;
  std::array<std::wstring, 5> texts_;
  int progress_ = 0;
  Look look_ = Look::Neutral;
  void RepaintGauge();
};

}  // namespace kv218
