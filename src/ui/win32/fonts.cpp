#include "ui/win32/fonts.h"

namespace kv218 {

namespace {

int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one is enough
}

Font Face(const wchar_t* face, int pixelHeight, int weight, DWORD pitchAndFamily) {
  return Font(CreateFontW(-pixelHeight, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                          pitchAndFamily, face));
}

}  // namespace

Font& Font::operator=(Font&& other) noexcept {
  if (this != &other) {
    Reset();
    font_ = other.font_;
    other.font_ = nullptr;
  }
  return *this;
}

void Font::Reset() {
  if (font_ != nullptr) DeleteObject(font_);
  font_ = nullptr;
}

bool FaceInstalled(const wchar_t* face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &wanted, &NoteFound, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

const wchar_t* FirstInstalledFace(std::initializer_list<const wchar_t*> faces) {
  const wchar_t* last = nullptr;
  for (const wchar_t* face : faces) {
    if (FaceInstalled(face)) return face;
    last = face;
  }
  return last;
}

Font FormFont(int dpi) {
  return Face(FirstInstalledFace({L"MS Sans Serif", L"Microsoft Sans Serif", L"Tahoma"}),
              MulDiv(11, dpi, 96), FW_NORMAL, VARIABLE_PITCH | FF_SWISS);
}

Font LogFont(int dpi) {
  // Consolas at 13 pixels is 7 pixels a character; the wider fallbacks get a pixel less, so
  // that a step line with its values still fits the pane's width.
  const wchar_t* face = FirstInstalledFace({L"Consolas", L"Lucida Console", L"DejaVu Sans Mono",
                                            L"Liberation Mono", L"Courier New", L"Courier"});
  return Face(face, MulDiv(lstrcmpW(face, L"Consolas") == 0 ? 13 : 12, dpi, 96), FW_NORMAL,
              FIXED_PITCH | FF_MODERN);
}

Font PictureFont(int pixelHeight) {
  return Face(FirstInstalledFace({L"Arial", L"Liberation Sans", L"DejaVu Sans", L"Tahoma"}),
              pixelHeight, FW_BOLD, VARIABLE_PITCH | FF_SWISS);
}

}  // namespace kv218
