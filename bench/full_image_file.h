#pragma once
// A full-size type-0 HEX file: every word of the program window in 16-byte records, so a
// target run moves all 86 blocks each way and a load reads about 22,000 lines. Written once
// into the temporary folder and reused by every benchmark that needs it.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace kv218::bench {

inline std::string FullImageFile() {
  const auto path = std::filesystem::temp_directory_path() / "kv218-bench-full-tk.hex";
  if (std::filesystem::exists(path)) return path.string();
  const auto partial = path.string() + ".part";
  {
    std::ofstream out(partial, std::ios::binary);
    auto record = [&out](std::uint8_t type, std::uint16_t address,
                         const std::vector<std::uint8_t>& data) {
      std::uint8_t sum =
          static_cast<std::uint8_t>(data.size() + (address >> 8) + (address & 0xFF) + type);
      char text[16];
      std::snprintf(text, sizeof text, ":%02X%04X%02X", static_cast<unsigned>(data.size()), address,
                    type);
      out << text;
      for (std::uint8_t b : data) {
        std::snprintf(text, sizeof text, "%02X", b);
        out << text;
        sum = static_cast<std::uint8_t>(sum + b);
      }
      std::snprintf(text, sizeof text, "%02X",
                    static_cast<unsigned>(static_cast<std::uint8_t>(0x100 - sum)));
      out << text << "\r\n";
    };
    constexpr std::uint32_t kWindowBytes = 0x055800;  // 21,888 rows of four 4-byte words
    for (std::uint32_t address = 0; address < kWindowBytes; address += 16) {
      if ((address & 0xFFFF) == 0) {
        record(
            4, 0,
            {static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16)});
      }
      std::vector<std::uint8_t> data;
      for (std::uint32_t i = 0; i < 16; ++i) {
        const std::uint32_t at = address + i;
        data.push_back(at % 4 == 3 ? 0 : static_cast<std::uint8_t>(at * 13 + (at >> 9)));
      }
      record(0, static_cast<std::uint16_t>(address & 0xFFFF), data);
    }
    record(1, 0, {});
  }
  std::filesystem::rename(partial, path);  // a half-written file is never taken for whole
  return path.string();
}

}  // namespace kv218::bench
