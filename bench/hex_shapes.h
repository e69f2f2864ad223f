#pragma once
// Full-size HEX files of the shapes users bring: type-0 files with extended linear address
// records every 64 KB and the configuration registers at 0x01F00000, in records of 16 or 32
// data bytes, with LF or CR LF line ends, and a dense type-1/2 file. Each is written once into
// the temporary folder and reused.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "full_image_file.h"

namespace kv218::bench {

struct HexShape {
  std::string name;  // what the benchmark calls it
  std::string path;
  int type = 0;  // the target type it is loaded as
};

namespace detail {

// Builds the text of a HEX file record by record.
class HexText {
 public:
  explicit HexText(bool crlf) : end_(crlf ? "\r\n" : "\n") {}

  void Record(std::uint8_t type, std::uint16_t address, const std::vector<std::uint8_t>& data) {
    unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFFu) + type;
    Append(":%02X%04X%02X", static_cast<unsigned>(data.size()), address, type);
    for (std::uint8_t b : data) {
      Append("%02X", b);
      sum += b;
    }
    Append("%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    text_ += end_;
  }
  void Linear(std::uint16_t upper) {
    Record(4, 0, {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)});
  }
  const std::string& Text() const { return text_; }

 private:
  template <typename... Args>
  void Append(const char* format, Args... args) {
    char buffer[16];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    text_.append(buffer, static_cast<std::size_t>(n));
  }

  std::string text_;
  const char* end_;
};

// A program byte at address as a compiler writes it: every fourth byte is the word's pad.
inline std::uint8_t ProgramByte(std::uint32_t at, bool padded) {
  if (padded && at % 4 == 3) return 0;
  return static_cast<std::uint8_t>(at * 13 + (at >> 9));
}

inline std::vector<std::uint8_t> Bytes(std::uint32_t from, std::uint32_t count, bool padded) {
  std::vector<std::uint8_t> data;
  for (std::uint32_t i = 0; i < count; ++i) data.push_back(ProgramByte(from + i, padded));
  return data;
}

// Writes text to path unless a file of that name is there already; a half-written file is
// never taken for whole.
inline std::string Written(const std::string& name, const std::string& text) {
  const auto path = std::filesystem::temp_directory_path() / name;
  if (std::filesystem::exists(path)) return path.string();
  const auto partial = path.string() + ".part";
  std::ofstream(partial, std::ios::binary) << text;
  std::filesystem::rename(partial, path);
  return path.string();
}

// The whole type-0 program window (0x055800 bytes) in records of recordBytes data bytes, an
// extended linear address record at every 64 KB, then the twelve configuration registers in
// segment 0x01F0, one 4-byte record each, and the end-of-file record.
inline std::string Type0Text(std::uint32_t recordBytes, bool crlf) {
  constexpr std::uint32_t kWindowBytes = 0x055800;
  constexpr std::uint8_t kConfig[12] = {0xCF, 0xCF, 0x07, 0xA7, 0xC7, 0xDF,
                                        0xE7, 0xE3, 0xFF, 0xFF, 0xFF, 0xFF};
  HexText hex(crlf);
  for (std::uint32_t address = 0; address < kWindowBytes; address += recordBytes) {
    if (address % 0x10000 == 0) hex.Linear(static_cast<std::uint16_t>(address >> 16));
    hex.Record(0, static_cast<std::uint16_t>(address), Bytes(address, recordBytes, true));
  }
  hex.Linear(0x01F0);
  for (std::uint16_t k = 0; k < 12; ++k)
    hex.Record(0, static_cast<std::uint16_t>(4 * k), {kConfig[k], 0, 0, 0});
  hex.Record(1, 0, {});
  return hex.Text();
}

// Every byte below the configuration (0x7FF8) in 16-byte records, then registers 0..5 at
// 0x7FF8.. one byte each, and the end-of-file record.
inline std::string Type16Text() {
  constexpr std::uint32_t kConfigAddress = 0x7FF8;
  constexpr std::uint8_t kConfig[6] = {0xE1, 0x04, 0xC7, 0x0F, 0x00, 0x01};
  HexText hex(false);
  for (std::uint32_t address = 0; address < kConfigAddress; address += 16) {
    const std::uint32_t count = std::min<std::uint32_t>(16, kConfigAddress - address);
    hex.Record(0, static_cast<std::uint16_t>(address), Bytes(address, count, false));
  }
  for (std::uint16_t k = 0; k < 6; ++k) {
    hex.Record(0, static_cast<std::uint16_t>(kConfigAddress + k), {kConfig[k]});
  }
  hex.Record(1, 0, {});
  return hex.Text();
}

}  // namespace detail

// The files the load benchmark measures, written when missing.
inline std::vector<HexShape> HexShapes() {
  using detail::Type0Text;
  using detail::Written;
  const std::string type16 = Written("kv218-bench-type16.hex", detail::Type16Text());
  return {
      {"type0-dense-crlf", FullImageFile(), 0},
      {"type0-config-lf", Written("kv218-bench-type0-16.hex", Type0Text(16, false)), 0},
      {"type0-32byte-lf", Written("kv218-bench-type0-32.hex", Type0Text(32, false)), 0},
      {"type0-config-crlf", Written("kv218-bench-type0-16-crlf.hex", Type0Text(16, true)), 0},
      {"type1-dense-lf", type16, 1},
      {"type2-dense-lf", type16, 2},
  };
}

}  // namespace kv218::bench
