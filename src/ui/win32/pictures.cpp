#include "ui/win32/pictures.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "ui/win32/fonts.h"

namespace kv218 {

namespace {

// A top-down 24-bit canvas with a memory DC selected into it.
class Canvas {
 public:
  Canvas(int size, COLORREF ground) : size_(size) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<std::uint8_t*>(bits);
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_);
    const RECT all{0, 0, size, size};
    SetBkColor(dc_, ground);
    ExtTextOutW(dc_, 0, 0, ETO_OPAQUE, &all, nullptr, 0, nullptr);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  // Hands the bitmap over, unselected.
  Bitmap Take() {
    GdiFlush();
    SelectObject(dc_, old_);
    old_ = SelectObject(dc_, GetStockObject(NULL_BRUSH));
    HBITMAP bitmap = bitmap_;
    bitmap_ = nullptr;
    return Bitmap(bitmap);
  }
  // Grey, half-way to the ground: the look of a disabled picture.
  void Grey(COLORREF ground) {
    GdiFlush();
    const int stride = (size_ * 3 + 3) & ~3;
    const int groundBgr[3] = {GetBValue(ground), GetGValue(ground), GetRValue(ground)};
    for (int y = 0; y < size_; ++y) {
      std::uint8_t* pixel = bits_ + y * stride;
      for (int x = 0; x < size_; ++x, pixel += 3) {
        const int luma = (pixel[2] * 30 + pixel[1] * 59 + pixel[0] * 11) / 100;
        for (int c = 0; c < 3; ++c) {
          pixel[c] = static_cast<std::uint8_t>((luma + 2 * groundBgr[c]) / 3);
        }
      }
    }
  }

 private:
  int size_;
  HBITMAP bitmap_ = nullptr;
  std::uint8_t* bits_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

// The pictures are drawn on an 80-pixel grid; Grid maps it onto the canvas's own size, so that
// a picture at 150 % is drawn afresh at 120 pixels rather than stretched.
struct Grid {
  int size;
  int operator()(int v) const { return MulDiv(v, size, kPictureSize); }
  POINT operator()(POINT p) const { return {(*this)(p.x), (*this)(p.y)}; }
  RECT operator()(RECT r) const {
    return {(*this)(r.left), (*this)(r.top), (*this)(r.right), (*this)(r.bottom)};
  }
  template <std::size_t N>
  std::array<POINT, N> operator()(const POINT (&points)[N]) const {
    std::array<POINT, N> scaled{};
    for (std::size_t i = 0; i < N; ++i) scaled[i] = (*this)(points[i]);
    return scaled;
  }
};

COLORREF Mix(COLORREF a, COLORREF b, double t) {
  auto channel = [t](int x, int y) { return static_cast<BYTE>(x + (y - x) * t + 0.5); };
  return RGB(channel(GetRValue(a), GetRValue(b)), channel(GetGValue(a), GetGValue(b)),
             channel(GetBValue(a), GetBValue(b)));
}

struct Stop {
  double at;
  COLORREF colour;
};

COLORREF Along(const Stop* stops, int count, double t) {
  for (int i = 1; i < count; ++i) {
    if (t <= stops[i].at) {
      const double span = stops[i].at - stops[i - 1].at;
      return Mix(stops[i - 1].colour, stops[i].colour, (t - stops[i - 1].at) / span);
    }
  }
  return stops[count - 1].colour;
}

// Fills the polygon with a gradient (across x when horizontal, else down y), then outlines it.
void GradientPolygon(HDC dc, const POINT* points, int count, const Stop* stops, int stopCount,
                     bool horizontal, COLORREF outline, int outlineWidth) {
  HRGN region = CreatePolygonRgn(points, count, WINDING);
  RECT bounds;
  GetRgnBox(region, &bounds);
  SaveDC(dc);
  SelectClipRgn(dc, region);
  const int from = horizontal ? bounds.left : bounds.top;
  const int to = horizontal ? bounds.right : bounds.bottom;
  for (int i = from; i < to; ++i) {
    const double t = to - from > 1 ? static_cast<double>(i - from) / (to - from - 1) : 0.0;
    SetBkColor(dc, Along(stops, stopCount, t));
    const RECT line = horizontal ? RECT{i, bounds.top, i + 1, bounds.bottom}
                                 : RECT{bounds.left, i, bounds.right, i + 1};
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &line, nullptr, 0, nullptr);
  }
  RestoreDC(dc, -1);
  DeleteObject(region);
  HPEN pen = CreatePen(PS_SOLID, outlineWidth, outline);
  const HGDIOBJ oldPen = SelectObject(dc, pen);
  const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Polygon(dc, points, count);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

template <std::size_t N>
void GradientPolygon(HDC dc, const Grid& grid, const POINT (&points)[N], const Stop* stops,
                     int stopCount, bool horizontal, COLORREF outline) {
  const std::array<POINT, N> scaled = grid(points);
  GradientPolygon(dc, scaled.data(), static_cast<int>(N), stops, stopCount, horizontal, outline,
                  std::max(1, grid(1)));
}

template <std::size_t N>
void SolidPolygon(HDC dc, const Grid& grid, const POINT (&points)[N], COLORREF fill,
                  COLORREF outline) {
  const Stop stops[] = {{0.0, fill}, {1.0, fill}};
  GradientPolygon(dc, grid, points, stops, 2, true, outline);
}

// Words centred in a band, with a light edge so that they stay readable on any button face.
void Words(HDC dc, const Grid& grid, RECT band, const wchar_t* words, int pixelHeight,
           COLORREF ink) {
  band = grid(band);
  const Font font = PictureFont(grid(pixelHeight));
  const HGDIOBJ oldFont = SelectObject(dc, font.get());
  SetBkMode(dc, TRANSPARENT);
  constexpr UINT kCentred = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
  const int shift = std::max(1, grid(1));
  RECT edge{band.left + shift, band.top + shift, band.right + shift, band.bottom + shift};
  SetTextColor(dc, RGB(0xF4, 0xF4, 0xF4));
  DrawTextW(dc, words, -1, &edge, kCentred);
  SetTextColor(dc, ink);
  DrawTextW(dc, words, -1, &band, kCentred);
  SelectObject(dc, oldFont);
}

void PaintLoadFile(HDC dc, const Grid& grid) {
  const COLORREF outline = RGB(0x8A, 0x62, 0x00);
  // The back of the folder with its tab.
  const POINT back[] = {{10, 52}, {10, 12}, {28, 12}, {32, 17}, {62, 17}, {62, 52}};
  SolidPolygon(dc, grid, back, RGB(0xE0, 0xA8, 0x10), outline);
  // The sheet standing in the folder, its corner folded, lines of text on it.
  const POINT sheet[] = {{22, 46}, {22, 4}, {46, 4}, {54, 12}, {54, 46}};
  SolidPolygon(dc, grid, sheet, RGB(0xFF, 0xFF, 0xFF), RGB(0x70, 0x70, 0x70));
  const POINT corner[] = {{46, 4}, {46, 12}, {54, 12}};
  SolidPolygon(dc, grid, corner, RGB(0xD8, 0xD8, 0xD8), RGB(0x70, 0x70, 0x70));
  HPEN ruling = CreatePen(PS_SOLID, std::max(1, grid(1)), RGB(0x40, 0x60, 0xC0));
  const HGDIOBJ oldPen = SelectObject(dc, ruling);
  for (int y = 16; y <= 32; y += 4) {
    MoveToEx(dc, grid(26), grid(y), nullptr);
    LineTo(dc, grid(y == 16 ? 42 : 50), grid(y));
  }
  SelectObject(dc, oldPen);
  DeleteObject(ruling);
  // The front flap, tipped open towards the viewer.
  const POINT front[] = {{8, 52}, {18, 26}, {72, 26}, {62, 52}};
  const Stop flap[] = {{0.0, RGB(0xFF, 0xE4, 0x6A)}, {1.0, RGB(0xF2, 0xBC, 0x1C)}};
  GradientPolygon(dc, grid, front, flap, 2, false, outline);
  Words(dc, grid, RECT{0, 55, kPictureSize, 79}, L"Load File", 14, RGB(0x00, 0x00, 0x80));
}

void PaintTransfer(HDC dc, const Grid& grid, const wchar_t* destination) {
  Words(dc, grid, RECT{0, 0, kPictureSize, 22}, L"PC", 18, RGB(0x10, 0x10, 0x10));
  // A green arrow pointing down, in the box (22, 22) .. (58, 56).
  const int left = 22, top = 22, width = 36, height = 34;
  const int cx = left + width / 2;
  const int shaftHalf = width * 17 / 100;
  const int headHalf = width / 2;
  const int headTop = top + height * 45 / 100;
  const POINT arrow[] = {{cx - shaftHalf, top},    {cx + shaftHalf, top}, {cx + shaftHalf, headTop},
                         {cx + headHalf, headTop}, {cx, top + height},    {cx - headHalf, headTop},
                         {cx - shaftHalf, headTop}};
  const Stop fill[] = {
      {0.0, RGB(0x2E, 0xB8, 0x3A)}, {0.45, RGB(0x7C, 0xE0, 0x6A)}, {1.0, RGB(0x1C, 0x8A, 0x2A)}};
  GradientPolygon(dc, grid, arrow, fill, 3, true, RGB(0x0C, 0x5A, 0x16));
  Words(dc, grid, RECT{0, 57, kPictureSize, 79}, destination, 15, RGB(0x00, 0x00, 0x80));
}

// The classic 16-colour palette entries the plug uses.
constexpr COLORREF kBlack = RGB(0x00, 0x00, 0x00);
constexpr COLORREF kGray = RGB(0x80, 0x80, 0x80);
constexpr COLORREF kSilver = RGB(0xC0, 0xC0, 0xC0);
constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);

}  // namespace

Bitmap PaintPicture(Picture picture, COLORREF ground, bool greyed, int size) {
  Canvas canvas(size, ground);
  const Grid grid{size};
  switch (picture) {
    case Picture::LoadFile:
      PaintLoadFile(canvas.dc(), grid);
      break;
    case Picture::PcToTarget:
      PaintTransfer(canvas.dc(), grid, L"Target");
      break;
    case Picture::PcToKv218:
      PaintTransfer(canvas.dc(), grid, L"KV-218");
      break;
  }
  if (greyed) canvas.Grey(ground);
  return canvas.Take();
}

void PaintSerialPlug(HDC dc, int x, int y, int dot) {
  // Pixel art seen from the side: the cable, the hood, the flange with its screws, the
  // D-shaped shell.
  static constexpr std::array<const char*, 16> kRows = {
      "................",  //
      "................",  //
      ".........KK.....",  //
      ".........KWK....",  //
      "....KKKKKKSK....",  //
      "....KWWWWKSKKK..",  //
      "....KSSSSKSKSSKK",  //
      "KKKKKSSSSKSKSSSK",  //
      "NNNNKGGGGKSKSSSK",  //
      "KKKKKGGGGKSKSSKK",  //
      "....KGGGGKSKKK..",  //
      "....KKKKKKSK....",  //
      ".........KGK....",  //
      ".........KK.....",  //
      "................",  //
      "................",  //
  };
  for (int row = 0; row < 16; ++row) {
    for (int column = 0; column < 16; ++column) {
      COLORREF colour;
      switch (kRows[static_cast<std::size_t>(row)][column]) {
        case 'K':
          colour = kBlack;
          break;
        case 'N':
        case 'G':
          colour = kGray;
          break;
        case 'S':
          colour = kSilver;
          break;
        case 'W':
          colour = kWhite;
          break;
        default:
          continue;
      }
      SetBkColor(dc, colour);
      const RECT square{x + column * dot, y + row * dot, x + (column + 1) * dot,
                        y + (row + 1) * dot};
      ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &square, nullptr, 0, nullptr);
    }
  }
}

}  // namespace kv218
