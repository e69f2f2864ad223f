#include <sys/mman.h>

#include <new>

#include "cli/zeroed_pages.h"

namespace kv218 {

namespace {
#ifdef MAP_POPULATE
constexpr int kPresent = MAP_POPULATE;
#else
constexpr int kPresent = 0;  // the pages come on first use
#endif
}  // namespace

ZeroedPages::ZeroedPages(std::size_t bytes) : bytes_(bytes) {
  data_ =
      mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | kPresent, -1, 0);
  if (data_ == MAP_FAILED) throw std::bad_alloc();
}

ZeroedPages::~ZeroedPages() { munmap(data_, bytes_); }

}  // namespace kv218
