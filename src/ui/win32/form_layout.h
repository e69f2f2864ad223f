#pragma once
// Where the controls of the window sit: the design's places in the client area (pixels at
// 96 dpi), the status bar's panels and the control identifiers. No toolkit here, so the
// rectangles can be checked on their own.

#include <array>

namespace kv218::layout {

struct Box {
  int left;
  int top;
  int width;
  int height;
  constexpr int right() const { return left + width; }
  constexpr int bottom() const { return top + height; }
};

// The client area that the positions refer to, and where the window first appears.
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
// The drop-down part of a selector: room for its items below the edit field.
inline constexpr int kDropDownHeight = 200;

// StatusBar1: five panels of these widths, the last reaching the right edge; panel 2 hosts
// the gauge.
inline constexpr std::array<int, 5> kPanelWidths{35, 50, 190, 60, 35};
inline constexpr int kGaugePanel = 2;

// The right edges that SB_SETPARTS takes: running sums, -1 for the last panel.
constexpr std::array<int, 5> PanelRightEdges() {
  std::array<int, 5> edges{};
  int right = 0;
  for (std::size_t i = 0; i < kPanelWidths.size(); ++i) {
    right += kPanelWidths[i];
    edges[i] = i + 1 == kPanelWidths.size() ? -1 : right;
  }
  return edges;
}

// The gauge inside panel 2's drawing rectangle: as wide as the panel less its frame.
constexpr Box GaugeBox(Box panelInside) {
  return {panelInside.left, panelInside.top, kPanelWidths[kGaugePanel] - 4, panelInside.height};
}

// Control identifiers (WM_COMMAND), in the order of the tab stops.
enum ControlId : int {
  kIdMemo1 = 101,
  kIdBitBtn1,
  kIdBitBtn2,
  kIdBitBtn3,
  kIdComboBox1,
  kIdComboBox2,
  kIdStatusBar1,
};

}  // namespace kv218::layout
