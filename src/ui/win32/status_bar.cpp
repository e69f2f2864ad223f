#include "ui/win32/status_bar.h"

#include <commctrl.h>

#include <algorithm>

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
      font_(FormFont()),
      gaugeFont_(FormFont()) {
  for (std::size_t panel = 0; panel < texts_.size(); ++panel) texts_[panel] = kPanelTexts[panel];
  SetDpi(layout::kDesignDpi);
}

void StatusBar::SetDpi(int dpi) {
  dpi_ = dpi;
  font_ = FormFont(dpi);
  gaugeFont_ = FormFont(dpi);
  // The bar's height follows its font.
  SendMessageW(bar_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  const auto edges = layout::PanelRightEdges(dpi);
  SendMessageW(bar_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
  for (int panel = 0; panel < static_cast<int>(edges.size()); ++panel) {
    SendMessageW(bar_, SB_SETTEXTW, static_cast<WPARAM>(panel) | SBT_OWNERDRAW,
                 static_cast<LPARAM>(panel));
  }
  FollowParent();
  InvalidateRect(bar_, nullptr, TRUE);
}

void StatusBar::SetPanelText(int panel, std::string_view text) {
  if (panel < 0 || panel >= static_cast<int>(layout::kPanelWidths.size())) return;
  if (panel == layout::kGaugePanel) return;  // shows the gauge, not a text
  texts_[static_cast<std::size_t>(panel)] = EditText(text);
  RECT box;
  if (SendMessageW(bar_, SB_GETRECT, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(&box))) {
    InvalidateRect(bar_, &box, TRUE);
  }
}

std::wstring StatusBar::PanelText(int panel) const {
  if (panel < 0 || panel >= static_cast<int>(texts_.size())) return {};
  return texts_[static_cast<std::size_t>(panel)];
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
  if (item.hwndItem != bar_) return false;
  if (item.itemID != layout::kGaugePanel) {
    // The text a margin in from the dividers on both sides, cut with an ellipsis rather than
    // under a divider.
    const std::wstring& text = texts_[std::min<std::size_t>(item.itemID, texts_.size() - 1)];
    RECT box = item.rcItem;
    const int margin = layout::Scaled(2, dpi_);
    box.left += margin;
    box.right -= margin;
    const HGDIOBJ old = SelectObject(item.hDC, font_.get());
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &box,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(item.hDC, old);
    return true;
  }
  const layout::Box inside{item.rcItem.left, item.rcItem.top, item.rcItem.right - item.rcItem.left,
                           item.rcItem.bottom - item.rcItem.top};
  const layout::Box gauge{inside.left, inside.top,
                          layout::Scaled(layout::GaugeBox(inside).width, dpi_), inside.height};
  const RECT box{gauge.left, gauge.top, gauge.right(), gauge.bottom()};
  PaintGauge(item.hDC, box, progress_, gaugeFont_.get(), BarColour());
  return true;
}

}  // namespace kv218
