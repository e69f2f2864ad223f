#pragma once
// One reading of a HEX file shared by several stations that start alike (the fresh stations
// of a command that programs several programmers at once). The first Load reads the file
// into an image of its own, noting what the loader showed on the window; every Load, from
// any thread, then copies that image into its station and shows the same lines, panel and
// gauge on its own window. A Load for another path, type or checksum bias reads afresh.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "image/image_source.h"

namespace kv218 {

class SharedImageSource final : public ImageSource {
 public:
  SharedImageSource();
  ~SharedImageSource() override;
  SharedImageSource(const SharedImageSource&) = delete;
  SharedImageSource& operator=(const SharedImageSource&) = delete;

  LoadResult Load(MemoryImage& image, const std::string& path, TargetType targetType,
                  WindowOps& window, MessageLoop& loop, const LoadOptions& options = {}) override;

  // How many times a file was actually read.
  int FilesRead() const;

  // One call the loader made on its window, to be made again on every station's window.
  struct Effect {
    enum class Kind { Log, AppendToLastLine, Panel, Progress, Error } kind;
    int number = 0;  // panel or percent
    std::string text;
  };

 private:
  struct Reading;

  mutable std::mutex mutex_;
  std::shared_ptr<const Reading> reading_;  // the latest reading
  int filesRead_ = 0;
};

}  // namespace kv218
