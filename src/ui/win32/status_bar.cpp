#include "ui/win32/status_bar.h"

#include <commctrl.h>

#include "ground/window_ops.h"
#include "ui/win32/form_layout.h"
#include "ui/win32/gauge.h"
#include "ui/win32/wide_text.h"

namespace kv218 {

namespace {
constexpr const wchar_t* kPanelTexts[] = {L"PORT", L"N/A", L"", L"checksum", L"N/A"};
}

StatusBar::StatusBar(HWND parent, int id)
    : bar_(CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0,
                           0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr)),
      gaugeFont_(FormFont()) {
  const auto edges = layout::PanelRightEdges();
  SendMessageW(bar_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
  for (int panel = 0; panel < static_cast<int>(edges.size()); ++panel) {
    const WPARAM how = panel == layout::kGaugePanel ? SBT_OWNERDRAW : 0;
    SendMessageW(bar_, SB_SETTEXTW, static_cast<WPARAM>(panel) | how,
                 reinterpret_cast<LPARAM>(kPanelTexts[panel]));
  }
}

void StatusBar::SetPanelText(int panel, std::string_view text) {
  if (panel < 0 || panel >= static_cast<int>(layout::kPanelWidths.size())) return;
  if (panel == layout::kGaugePanel) return;  // shows the gauge, not a text
  const std::wstring wide = EditText(text);
  SendMessageW(bar_, SB_SETTEXTW, static_cast<WPARAM>(panel),
               reinterpret_cast<LPARAM>(wide.c_str()));
}

std::wstring StatusBar::PanelText(int panel) const {
  const LRESULT length = SendMessageW(bar_, SB_GETTEXTLENGTHW, static_cast<WPARAM>(panel), 0);
  std::wstring text(static_cast<std::size_t>(LOWORD(length)) + 1, L'\0');
  SendMessageW(bar_, SB_GETTEXTW, static_cast<WPARAM>(panel),
               reinterpret_cast<LPARAM>(text.data()));
  text.resize(LOWORD(length));
  return text;
}

void StatusBar::SetProgress(int percent) {
  const int shown = ClampPercent(percent);
  if (shown == progress_) return;
  progress_ = shown;
  RepaintGauge();
}

void StatusBar::ShowLook(Look look) {
  if (look == look_) return;
  look_ = look;
  RepaintGauge();
}

COLORREF StatusBar::BarColour() const {
  switch (look_) {
    case Look::Passed:
      return kPassedGaugeColour;
    case Look::Failed:
      return kFailedGaugeColour;
    case Look::Neutral:
      break;
  }
  return kGaugeColour;
}

void StatusBar::RepaintGauge() {
  RECT panel;
  if (SendMessageW(bar_, SB_GETRECT, layout::kGaugePanel, reinterpret_cast<LPARAM>(&panel))) {
    InvalidateRect(bar_, &panel, FALSE);
  }
}

void StatusBar::FollowParent() { SendMessageW(bar_, WM_SIZE, 0, 0); }

bool StatusBar::OnDrawItem(const DRAWITEMSTRUCT& item) {
  if (item.hwndItem != bar_ || item.itemID != layout::kGaugePanel) return false;
  const layout::Box inside{item.rcItem.left, item.rcItem.top, item.rcItem.right - item.rcItem.left,
                           item.rcItem.bottom - item.rcItem.top};
  const layout::Box gauge = layout::GaugeBox(inside);
  const RECT box{gauge.left, gauge.top, gauge.right(), gauge.bottom()};
  PaintGauge(item.hDC, box, progress_, gaugeFont_.get(), BarColour());
  return true;
}

}  // namespace kv218
