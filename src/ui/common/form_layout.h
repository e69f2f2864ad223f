#pragma once
// Where the controls of the window sit, the same in the Qt and the Win32 window: the design's
// places in the client area (pixels at 96 dpi), where the window first appears, the status
// bar's panels with the gauge's box, and the port selector's COM items. No toolkit here, so
// the rectangles can be checked on their own. Header-only.

#include <array>

#include "app/port_choices.h"

namespace kv218::layout {

struct Box {
  int left;
  int top;
  int width;
  int height;
  constexpr int right() const { return left + width; }
  constexpr int bottom() const { return top + height; }
};

// The client area that the positions refer to, and where the window first appears. With the
// usual frame (4-pixel borders, 26-pixel caption at 96 dpi) the outer size is 399 x 352.
inline constexpr int kClientWidth = 391;
inline constexpr int kClientHeight = 322;
inline constexpr int kFormLeft = 10;
inline constexpr int kFormTop = 30;

inline constexpr Box kBitBtn1{8, 8, 89, 90};
inline constexpr Box kBitBtn2{200, 8, 89, 90};
inline constexpr Box kBitBtn3{296, 8, 89, 90};
inline constexpr Box kComboBox2{128, 52, 65, 21};
inline constexpr Box kComboBox1{104, 76, 89, 21};
inline constexpr Box kMemo1{8, 104, 377, 193};
inline constexpr Box kImage1{107, 54, 33, 25};
// The board state's band, in the gap between "Load File" and "PC -> Target" above the
// selectors: READY, RUNNING, PASS, FAIL or NOT READY with a line of detail.
inline constexpr Box kStateBand{101, 8, 96, 41};

// StatusBar1: five panels of these widths, the last reaching the right edge; panel 2 hosts
// the gauge.
inline constexpr std::array<int, 5> kPanelWidths{35, 50, 190, 60, 35};
inline constexpr int kGaugePanel = 2;

// The gauge inside panel 2's drawing rectangle: as wide as the panel less its frame.
constexpr Box GaugeBox(Box panelInside) {
  return {panelInside.left, panelInside.top, kPanelWidths[kGaugePanel] - 4, panelInside.height};
}

// The port selector's first items, "COM1".."COM20"; the serial devices found follow them.
inline constexpr int kComItems = kComPortItems;

}  // namespace kv218::layout
