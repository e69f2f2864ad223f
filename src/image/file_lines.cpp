#include "image/file_lines.h"

#include <algorithm>
#include <cstring>

namespace kv218 {

namespace {

// memchr takes a whole machine word (or vector) at a time.
const char* Find(const char* from, const char* to, char c) {
  const void* at = std::memchr(from, c, static_cast<std::size_t>(to - from));
  return at == nullptr ? to : static_cast<const char*>(at);
}

// The line ends in a piece: every CR, and every LF that does not follow a CR (before is the
// byte before the piece). Summed in blocks whose count fits in one byte, which the compiler
// turns into vector instructions (a whole number of 16-byte vectors per block).
std::size_t LineEnds(const char* piece, std::size_t n, char before) {
  constexpr std::size_t kBlock = 240;
  std::size_t count = (piece[0] == '\r') + (piece[0] == '\n' && before != '\r');
  for (std::size_t block = 1; block < n; block += kBlock) {
    const std::size_t end = std::min(n, block + kBlock);
    unsigned char sum = 0;
    for (std::size_t i = block; i < end; ++i) {
      sum = static_cast<unsigned char>(
          sum + ((piece[i] == '\r') | ((piece[i] == '\n') & (piece[i - 1] != '\r'))));
    }
    count += sum;
  }
  return count;
}

}  // namespace

FileLines::FileLines(RegularFile& file, std::size_t maxBytes, std::size_t pieceBytes, Sha256* hash)
    : file_(file),
      maxBytes_(maxBytes),
      buffer_(std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(pieceBytes, 1))),
      capacity_(std::max<std::size_t>(pieceBytes, 1)),
      hash_(hash) {}

void FileLines::Restart() {
  offset_ = 0;
  begin_ = filled_ = scanned_ = 0;
  end_ = false;
}

std::optional<std::size_t> FileLines::Count() {
  Restart();
  std::size_t lines = 0;
  char last = '\0';
  for (;;) {
    const std::ptrdiff_t n = file_.ReadAt(offset_, buffer_.get(), capacity_);
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    offset_ += static_cast<std::uint64_t>(n);
    if (offset_ > maxBytes_) return std::nullopt;
    lines += LineEnds(buffer_.get(), static_cast<std::size_t>(n), last);
    last = buffer_[static_cast<std::size_t>(n) - 1];
  }
  if (offset_ > 0 && last != '\n' && last != '\r') ++lines;  // the last line has no end
  countedBytes_ = offset_;
  Restart();
  return lines;
}

bool FileLines::Next(std::string_view& line) {
  for (;;) {
    char* const buffer = buffer_.get();
    const char* start = buffer + begin_;
    const char* end = buffer + filled_;
    const char* lineFeed = Find(start + scanned_, end, '\n');
    const char* stop = Find(start + scanned_, lineFeed, '\r');  // a CR before the LF ends it
    // A CR that ends what was read may be the first half of a CR LF: read on to know.
    const bool pendingCr = stop + 1 == end && *stop == '\r' && !end_;
    if ((stop != end && !pendingCr) || end_) {
      line = std::string_view(start, static_cast<std::size_t>(stop - start));
      begin_ = static_cast<std::size_t>(stop - buffer);
      if (stop != end) {
        ++begin_;
        if (*stop == '\r' && begin_ < filled_ && buffer[begin_] == '\n') ++begin_;
      }
      scanned_ = 0;
      return true;
    }
    scanned_ = static_cast<std::size_t>(stop - start);
    if (!Fill()) return false;
  }
}

bool FileLines::Fill() {
  const std::size_t kept = filled_ - begin_;
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, kept);
    begin_ = 0;
    filled_ = kept;
  }
  if (filled_ == capacity_) {  // one line fills the buffer: a larger one
    const std::size_t larger = std::min(capacity_ * 2, maxBytes_ + 1);
    if (larger <= capacity_) return false;
    auto grown = std::make_unique_for_overwrite<char[]>(larger);
    std::memcpy(grown.get(), buffer_.get(), filled_);
    buffer_ = std::move(grown);
    capacity_ = larger;
  }
  const std::ptrdiff_t n = file_.ReadAt(offset_, buffer_.get() + filled_, capacity_ - filled_);
  if (n < 0) return false;
  if (hash_ != nullptr) {
    hash_->Update(reinterpret_cast<const std::uint8_t*>(buffer_.get() + filled_),
                  static_cast<std::size_t>(n));
  }
  end_ = n == 0;
  offset_ += static_cast<std::uint64_t>(n);
  filled_ += static_cast<std::size_t>(n);
  return offset_ <= maxBytes_;
}

bool FileLines::ReadRest() {
  // What was read is no longer needed: the whole buffer takes the rest, piece by piece.
  begin_ = filled_ = scanned_ = 0;
  while (!end_) {
    const std::ptrdiff_t n = file_.ReadAt(offset_, buffer_.get(), capacity_);
    if (n < 0) return false;
    if (hash_ != nullptr) {
      hash_->Update(reinterpret_cast<const std::uint8_t*>(buffer_.get()),
                    static_cast<std::size_t>(n));
    }
    end_ = n == 0;
    offset_ += static_cast<std::uint64_t>(n);
    if (offset_ > maxBytes_) return false;
  }
  return true;
}

}  // namespace kv218
