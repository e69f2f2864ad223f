#pragma once
// The Win32 window's own geometry beside the layout both windows share
// (ui/common/form_layout.h): the selectors' drop-down height, the status bar's SB_SETPARTS
// edges and the control identifiers. No toolkit here, so they can be checked on their own.

#include <array>
#include <cstddef>

#include "ui/common/form_layout.h"

namespace kv218::layout {

// The drop-down part of a selector: room for its items below the edit field.
inline constexpr int kDropDownHeight = 200;

// The design's pixels are those of 96 dots per inch (100 %); at another scale every place,
// size and font grows with the screen's dots per inch, rounded to whole pixels.
inline constexpr int kDesignDpi = 96;

constexpr int Scaled(int pixels, int dpi) {
  const int product = pixels * dpi;
  return product >= 0 ? (product + kDesignDpi / 2) / kDesignDpi
                      : -((-product + kDesignDpi / 2) / kDesignDpi);
}

// The box's edges scaled, so that boxes that meet at 100 % still meet.
constexpr Box Scaled(const Box& box, int dpi) {
  const int left = Scaled(box.left, dpi);
  const int top = Scaled(box.top, dpi);
  return {left, top, Scaled(box.right(), dpi) - left, Scaled(box.bottom(), dpi) - top};
}

// The right edges that SB_SETPARTS takes: running sums, -1 for the last panel.
constexpr std::array<int, 5> PanelRightEdges(int dpi = kDesignDpi) {
  std::array<int, 5> edges{};
  int right = 0;
  for (std::size_t i = 0; i < kPanelWidths.size(); ++i) {
    right += kPanelWidths[i];
    edges[i] = i + 1 == kPanelWidths.size() ? -1 : Scaled(right, dpi);
  }
  return edges;
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
