#include <windows.h>

#include <new>

#include "cli/zeroed_pages.h"

namespace kv218 {

// Committed pages read as zero; Windows makes them present on first use.
ZeroedPages::ZeroedPages(std::size_t bytes) : bytes_(bytes) {
  data_ = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (data_ == nullptr) throw std::bad_alloc();
}

ZeroedPages::~ZeroedPages() { VirtualFree(data_, 0, MEM_RELEASE); }

}  // namespace kv218
