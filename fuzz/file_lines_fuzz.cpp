// The lines of a file read through a small buffer against the same file split in memory one
// character at a time. Input: one byte choosing the buffer's first size (1 to 64 bytes), then
// the file's bytes. The count and every line must agree, whatever falls on a buffer's edge.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "image/file_lines.h"
#include "scratch_file.h"

namespace {

// A line ends at CR LF, LF or CR; a terminator at the very end starts no other line.
std::vector<std::string_view> Split(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const kv218::fuzz::ScratchFile file("lines.hex");
  if (size == 0) return 0;
  const std::size_t piece = data[0] % 64 + 1;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  file.Write(text);

  kv218::RegularFile opened;
  if (opened.Open(file.path(), text.size()) != kv218::FileReadError::None) std::abort();
  kv218::FileLines lines(opened, text.size(), piece);
  const std::vector<std::string_view> expected = Split(text);
  if (lines.Count() != expected.size()) std::abort();
  for (std::string_view want : expected) {
    std::string_view line;
    if (!lines.Next(line) || line != want) std::abort();
  }
  std::string_view past;
  if (!lines.Next(past) || !past.empty()) std::abort();
  return 0;
}
