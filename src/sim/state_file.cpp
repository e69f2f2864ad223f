#include "sim/state_file.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "ground/platform.h"

namespace kv218::sim {

namespace {

constexpr char kMagic[8] = {'K', 'V', '2', '1', '8', 'S', 'I', 'M'};
constexpr std::uint8_t kVersion = 1;
constexpr std::size_t kHeaderBytes = sizeof kMagic + 1 + 4 + 1 + 1 + kv218::kConfigCount;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

bool LoadState(const std::string& path, FlashMemory& flash, bool& found, std::string& error) {
  found = false;
  File file(OpenFile(path, "rb"));
  if (!file) {
    if (errno == ENOENT) return true;
    error = "cannot read the state " + path + ": " + std::strerror(errno);
    return false;
  }
  std::array<std::uint8_t, kHeaderBytes> header{};
  std::vector<std::uint8_t> rows(kFlashBytes);
  const bool whole = std::fread(header.data(), 1, header.size(), file.get()) == header.size() &&
                     std::fread(rows.data(), 1, rows.size(), file.get()) == rows.size() &&
                     std::fgetc(file.get()) == EOF;
  if (!whole || std::memcmp(header.data(), kMagic, sizeof kMagic) != 0 ||
      header[sizeof kMagic] != kVersion || header[13] > 3 || header[14] > 1) {
    error = "the state " + path + " is not a kv218-sim state file";
    return false;
  }
  const std::uint8_t* p = header.data() + sizeof kMagic + 1;
  flash.EraseCounter = static_cast<std::uint32_t>(p[0]) << 24 |
                       static_cast<std::uint32_t>(p[1]) << 16 |
                       static_cast<std::uint32_t>(p[2]) << 8 | p[3];
  flash.imageType = p[4];
  flash.holdsImage = p[5] != 0;
  std::memcpy(flash.config.data(), p + 6, kv218::kConfigCount);
  flash.rows = std::move(rows);
  found = true;
  return true;
}

bool SaveState(const std::string& path, const FlashMemory& flash, std::string& error) {
  std::array<std::uint8_t, kHeaderBytes> header{};
  std::memcpy(header.data(), kMagic, sizeof kMagic);
  std::uint8_t* p = header.data() + sizeof kMagic;
  *p++ = kVersion;
  for (int shift = 24; shift >= 0; shift -= 8) {
    *p++ = static_cast<std::uint8_t>(flash.EraseCounter >> shift);
  }
  *p++ = static_cast<std::uint8_t>(flash.imageType);
  *p++ = flash.holdsImage ? 1 : 0;
  std::memcpy(p, flash.config.data(), kv218::kConfigCount);

  ReplacementFile file(path);
  const bool written =
      file.IsOpen() && file.Write({reinterpret_cast<const char*>(header.data()), header.size()}) &&
      file.Write({reinterpret_cast<const char*>(flash.rows.data()), flash.rows.size()}) &&
      file.Commit();
  if (!written) {
    error = "cannot write the state " + path + ": " +
            (file.Error().empty() ? LastErrorText() : file.Error());
    return false;
  }
  return true;
}

}  // namespace kv218::sim
