#pragma once
// A second memory image beside a station's own: the file as loaded, kept while a read-back
// fills the station's image, so that the two can be compared byte by byte. Its storage is
// taken at the first Keep and reused by every later one.

#include <memory>

#include "image/memory_image.h"

namespace kv218 {

class KeptImage {
 public:
  void Keep(const MemoryImage& image) {
    if (!image_)
      image_ = std::make_unique<MemoryImage>(image);
    else
      *image_ = image;
  }
  // Null before the first Keep.
  const MemoryImage* get() const { return image_.get(); }

 private:
  std::unique_ptr<MemoryImage> image_;
};

}  // namespace kv218
