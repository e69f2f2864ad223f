#pragma once
// The lines of an ordinary file, read through one buffer of a few pages: going through a
// long file then touches the same memory over and over instead of fresh pages for all of it,
// and the memory of a read is bounded by its longest line, not by the file. A line ends at
// CR LF, LF or CR; a terminator at the very end does not start another line.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "ground/regular_file.h"

namespace kv218 {

class FileLines {
 public:
  static constexpr std::size_t kPieceBytes = 32 * 1024;

  // Reads file, refusing it once more than maxBytes have come from it; pieceBytes is the
  // buffer's first size (it grows only for a longer line).
  FileLines(RegularFile& file, std::size_t maxBytes, std::size_t pieceBytes = kPieceBytes);

  // How many lines the file holds, reading it through once; nothing on a read error or when
  // it has grown past maxBytes. Next then starts again from the first line.
  std::optional<std::size_t> Count();
  // The next line, valid until the next call; past the end of the file an empty one. False
  // on a read error or when the file has grown past maxBytes.
  bool Next(std::string_view& line);

 private:
  void Restart();
  // Keeps the unfinished line at the front and reads more behind it.
  bool Fill();

  RegularFile& file_;
  const std::size_t maxBytes_;
  std::unique_ptr<char[]> buffer_;  // never initialised: only what is read is looked at
  std::size_t capacity_;
  std::uint64_t offset_ = 0;  // of the next read
  std::size_t begin_ = 0;     // the unread part of the buffer: [begin_, filled_)
  std::size_t filled_ = 0;
  std::size_t scanned_ = 0;  // bytes past begin_ known to hold no line end
  bool end_ = false;         // the last read found the end of the file
};

}  // namespace kv218
