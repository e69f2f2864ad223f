#pragma once
// The target types, in the order of the window's type selector: a type is the selector's
// item index. The settings file (TYPE), the run record (target_type) and the command line's
// --type keep it as that number, and any number is carried through unchanged: a value that is
// no item (the selector with nothing selected gives -1) has no row in the table of types
// (image/target_types.h), and so no loader, no first command and no verification rule.

namespace kv218 {

enum class TargetType : int {
  None = -1,       // nothing selected
  TkSeries = 0,    // "TK Series": 24-bit words, frames without a family byte
  MvrxSeries = 1,  // "MVRx Series": 16-bit, frames of family '8'
  CradleSet = 2,   // "Cradle Set": 16-bit, frames of family '9'
  EcoMode = 3,     // "Eco Mode": the programmer programs the 1 KB target on its own
};

inline constexpr int kTargetTypeCount = 4;

constexpr TargetType TargetTypeAt(int itemIndex) { return static_cast<TargetType>(itemIndex); }
constexpr int ItemIndexOf(TargetType type) { return static_cast<int>(type); }
// True for the selector's items 0..3.
constexpr bool IsTargetTypeItem(int itemIndex) {
  return itemIndex >= 0 && itemIndex < kTargetTypeCount;
}

}  // namespace kv218
