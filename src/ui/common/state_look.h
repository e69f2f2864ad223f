#pragma once
// How both windows paint the board state (ground/window_ops.h, decided in app/board_state.h):
// the band's word, its colour and its line of detail, and the tint the log pane takes. The
// five colours differ in hue as well as in lightness, so that they are told apart from across
// the room and on a screenshot a quarter of the size. Header-only, no toolkit.

#include <string>
#include <string_view>

#include "ground/window_ops.h"

namespace kv218::look {

struct Rgb {
  unsigned char red;
  unsigned char green;
  unsigned char blue;
  constexpr bool operator==(const Rgb&) const = default;
};

// The band's ground, and whether its text is white (black otherwise).
struct BandLook {
  Rgb ground;
  bool whiteText;
};

constexpr BandLook BandOf(BoardState state) {
  switch (state) {
    case BoardState::Ready:
      return {{0x1E, 0x5A, 0xC8}, true};
    case BoardState::Running:
      return {{0xF0, 0xC0, 0x00}, false};
    case BoardState::Pass:
      return {{0x10, 0x90, 0x10}, true};
    case BoardState::Fail:
      return {{0xD0, 0x10, 0x10}, true};
    case BoardState::NotReady:
      break;
  }
  return {{0x70, 0x70, 0x70}, true};
}

// The log pane's ground: a light tint of the band's hue, under which black text and the
// verdict's green or red line stay readable.
constexpr Rgb LogGroundOf(BoardState state) {
  switch (state) {
    case BoardState::Ready:
      return {0xA8, 0xCC, 0xFF};
    case BoardState::Running:
      return {0xFF, 0xF0, 0xA0};
    case BoardState::Pass:
      return {0xA8, 0xE8, 0xA8};
    case BoardState::Fail:
      return {0xFF, 0xA8, 0xA8};
    case BoardState::NotReady:
      break;
  }
  return {0xC8, 0xC8, 0xC8};
}

constexpr std::string_view WordOf(BoardState state) {
  switch (state) {
    case BoardState::Ready:
      return "READY";
    case BoardState::Running:
      return "RUNNING";
    case BoardState::Pass:
      return "PASS";
    case BoardState::Fail:
      return "FAIL";
    case BoardState::NotReady:
      break;
  }
  return "NOT READY";
}

// The band's small line: why it is not ready, otherwise the session's boards.
inline std::string DetailOf(const StateShown& shown) {
  if (shown.state == BoardState::NotReady) return std::string(shown.reason);
  return std::to_string(shown.passed) + " passed, " + std::to_string(shown.failed) + " failed";
}

}  // namespace kv218::look
