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
#include "image/sha256.h"

namespace kv218 {

class FileLines {
 public:
  static constexpr std::size_t kPieceBytes = 32 * 1024;

  // Reads file, refusing it once more than maxBytes have come from it; pieceBytes is the
  // buffer's first size (it grows only for a longer line). hash, when given, is fed every
  // byte the lines are read from (not those Count reads), so that it is the digest of the
  // very bytes that were taken apart.
  FileLines(RegularFile& file, std::size_t maxBytes, std::size_t pieceBytes = kPieceBytes,
            Sha256* hash = nullptr);

  // How many lines the file holds, reading it through once; nothing on a read error or when
  // it has grown past maxBytes. Next then starts again from the first line.
  std::optional<std::size_t> Count();
  // The next line, valid until the next call; past the end of the file an empty one. False
  // on a read error or when the file has grown past maxBytes.
  bool Next(std::string_view& line);
  // Reads what is left of the file without taking it into lines (for the hash); false on a
  // read error or when the file has grown past maxBytes.
  bool ReadRest();
  // Whether Next has handed out the file's last line.
  bool AtEnd() const { return end_ && begin_ >= filled_; }
  // Whether the last failure was the file growing past maxBytes.
  bool TooLarge() const { return offset_ > maxBytes_; }
  // How many bytes Count found, and how many the lines have been read from so far.
  std::uint64_t CountedBytes() const { return countedBytes_; }
  std::uint64_t BytesRead() const { return offset_; }

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
  Sha256* hash_;
  std::uint64_t countedBytes_ = 0;
};

}  // namespace kv218
