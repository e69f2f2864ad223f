#pragma once
// The window's fonts: the form's face for the controls, a monospaced face for the log, a bold
// face for the pictures' words. Each is the first installed face of its list.

#include <windows.h>

#include <initializer_list>

namespace kv218 {

// Owns one GDI font.
class Font {
 public:
  Font() = default;
  explicit Font(HFONT font) : font_(font) {}
  ~Font() { Reset(); }
  Font(Font&& other) noexcept : font_(other.font_) { other.font_ = nullptr; }
  Font& operator=(Font&& other) noexcept;
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  HFONT get() const { return font_; }

 private:
  void Reset();
  HFONT font_ = nullptr;
};

// True when a font family of that name is installed.
bool FaceInstalled(const wchar_t* face);
// The first installed face of the list, else the last one (GDI maps it to a near face).
const wchar_t* FirstInstalledFace(std::initializer_list<const wchar_t*> faces);

// The design's sizes are pixels at 96 dots per inch; dpi scales them.
Font FormFont(int dpi = 96);
Font LogFont(int dpi = 96);
Font PictureFont(int pixelHeight);

}  // namespace kv218
