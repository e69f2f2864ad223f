#pragma once
// A block of zeroed memory straight from the system, for a large plain-data object that is
// filled right after (the image a load blanks). Where the platform can, its pages are made
// present in the same call (Linux: MAP_POPULATE), so that filling it does not fault on every
// page: on the build machine those faults cost about as much as the fill itself. One
// implementation file per platform.

#include <cstddef>

namespace kv218 {

class ZeroedPages {
 public:
  // Throws std::bad_alloc when the system has no memory to give.
  explicit ZeroedPages(std::size_t bytes);
  ~ZeroedPages();
  ZeroedPages(const ZeroedPages&) = delete;
  ZeroedPages& operator=(const ZeroedPages&) = delete;

  void* data() const { return data_; }

 private:
  void* data_;
  std::size_t bytes_;
};

}  // namespace kv218
