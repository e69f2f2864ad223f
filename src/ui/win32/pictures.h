#pragma once
// The window's pictures drawn with GDI, so that the project owns every pixel: the three button
// pictures (80 x 80, on the button face) and Image1's serial plug (16 x 16, in the 16
// standard colours).

#include <windows.h>

namespace kv218 {

// Owns one GDI bitmap.
class Bitmap {
 public:
  Bitmap() = default;
  explicit Bitmap(HBITMAP bitmap) : bitmap_(bitmap) {}
  ~Bitmap() {
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
  }
  Bitmap(Bitmap&& other) noexcept : bitmap_(other.bitmap_) { other.bitmap_ = nullptr; }
  Bitmap& operator=(Bitmap&& other) noexcept {
    if (this != &other) {
      if (bitmap_ != nullptr) DeleteObject(bitmap_);
      bitmap_ = other.bitmap_;
      other.bitmap_ = nullptr;
    }
    return *this;
  }
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;
  HBITMAP get() const { return bitmap_; }

 private:
  HBITMAP bitmap_ = nullptr;
};

enum class Picture { LoadFile, PcToTarget, PcToKv218 };

inline constexpr int kPictureSize = 80;

// The picture on ground (the button face), size pixels square (80 at 100 %, drawn afresh at
// every size). Greyed, it is the picture of a disabled button.
Bitmap PaintPicture(Picture picture, COLORREF ground, bool greyed, int size = kPictureSize);
// Image1: the serial plug at (x, y), each of its 16 x 16 dots dot pixels square, transparent
// where the plug is not.
void PaintSerialPlug(HDC dc, int x, int y, int dot = 1);

}  // namespace kv218
