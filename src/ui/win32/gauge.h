#pragma once
// CGauge1 drawn with GDI: a framed bar, blue from the left for the part done, white for the
// rest, and "<percent>%" in the middle, black over white and white over blue.

#include <windows.h>

namespace kv218 {

void PaintGauge(HDC dc, const RECT& box, int percent, HFONT font);

}  // namespace kv218
