#pragma once
// CGauge1 drawn with GDI: a framed bar, blue from the left for the part done, white for the
// rest, and "<percent>%" in the middle, black over white and white over the bar; the bar is
// green while a pass is shown and red while a failure is.

#include <windows.h>

namespace kv218 {

inline constexpr COLORREF kGaugeColour = RGB(0x00, 0x00, 0xFF);
inline constexpr COLORREF kPassedGaugeColour = RGB(0x00, 0xA0, 0x00);
inline constexpr COLORREF kFailedGaugeColour = RGB(0xFF, 0x00, 0x00);

void PaintGauge(HDC dc, const RECT& box, int percent, HFONT font, COLORREF barColour);

}  // namespace kv218
