#pragma once
// Where a run's reload of its HEX file comes from. By default the file itself is read
// (LoadImage); several stations programmed at once share one reading (SharedImageSource).

#include <string>

#include "ground/message_loop.h"
#include "ground/window_ops.h"
#include "image/hex_loader.h"
#include "image/memory_image.h"

namespace kv218 {

class ImageSource {
 public:
  virtual ~ImageSource() = default;
  // Fills image from path for targetType as LoadImage does, with the same effects on window.
  virtual LoadResult Load(MemoryImage& image, const std::string& path, TargetType targetType,
                          WindowOps& window, MessageLoop& loop,
                          const LoadOptions& options = {}) = 0;
};

}  // namespace kv218
