#pragma once
// How much of the log a window keeps on the screen. A shift's runs add about 7 kB of log
// each; the pane keeps the last kKeptLogLines lines and hands older ones to its spill file,
// so memory stays flat while "Save Log..." still writes the whole log. The pane trims
// kept / 20 lines at a time, not one per line added.

namespace kv218::layout {

inline constexpr int kKeptLogLines = 20000;

// The lines over the bound that make the pane trim: a twentieth of it, at least one.
constexpr int LogTrimSlack(int kept) { return kept / 20 > 0 ? kept / 20 : 1; }

}  // namespace kv218::layout
