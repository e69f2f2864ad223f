#include "ground/regular_file.h"

#include <algorithm>
#include <utility>

namespace kv218 {

FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes) {
  RegularFile file;
  if (const FileReadError error = file.Open(path, maxBytes); error != FileReadError::None)
    return FileRead{error, {}};
  // One byte more than the size: a file that has grown since it was opened is still read
  // whole, up to one byte past the limit.
  std::string text(static_cast<std::size_t>(file.Size()) + 1, '\0');
  std::size_t done = 0;
  for (;;) {
    if (done == text.size()) {
      if (done > maxBytes) return FileRead{FileReadError::TooLarge, {}};
      text.resize(std::min(done + 4096, maxBytes + 1));
    }
    const std::ptrdiff_t n = file.ReadAt(done, text.data() + done, text.size() - done);
    if (n < 0) return FileRead{FileReadError::Unreadable, {}};
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  text.resize(done);
  return FileRead{FileReadError::None, std::move(text)};
}

}  // namespace kv218
