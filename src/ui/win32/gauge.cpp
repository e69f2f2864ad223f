#include "ui/win32/gauge.h"

#include <string>

#include "ground/window_ops.h"

namespace kv218 {

namespace {

void FillBox(HDC dc, const RECT& box, COLORREF colour) {
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &box, nullptr, 0, nullptr);
}

void TextClipped(HDC dc, const RECT& inside, const RECT& clip, const std::wstring& text,
                 COLORREF ink) {
  SaveDC(dc);
  IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
  SetTextColor(dc, ink);
  RECT box = inside;
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  RestoreDC(dc, -1);
}

}  // namespace

void PaintGauge(HDC dc, const RECT& box, int percent, HFONT font, COLORREF barColour) {
  const int shown = ClampPercent(percent);
  const RECT inside{box.left + 1, box.top + 1, box.right - 1, box.bottom - 1};
  const LONG filled = (inside.right - inside.left) * shown / 100;
  const RECT bar{inside.left, inside.top, inside.left + filled, inside.bottom};
  const RECT rest{inside.left + filled, inside.top, inside.right, inside.bottom};

  FillBox(dc, rest, RGB(0xFF, 0xFF, 0xFF));
  FillBox(dc, bar, barColour);
  FrameRect(dc, &box, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));

  const std::wstring text = std::to_wstring(shown) + L"%";
  const HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  TextClipped(dc, inside, rest, text, RGB(0, 0, 0));
  TextClipped(dc, inside, bar, text, RGB(0xFF, 0xFF, 0xFF));
  SelectObject(dc, oldFont);
}

}  // namespace kv218
