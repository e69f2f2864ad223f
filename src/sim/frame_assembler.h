#pragma once
// Gathers the host's bytes into frames as they arrive: a frame may come split over several
// reads, or several frames in one read. Bytes that start no frame are dropped, the way the
// programmer ignores line noise, and the search goes on at the next lead byte.

#include <array>
#include <cstddef>
#include <cstdint>

#include "sim/frame_grammar.h"

namespace kv218::sim {

class FrameAssembler {
 public:
  // Takes bytes from data until one frame is complete (returns true; Current() holds it until
  // the next call) or all count bytes are used (returns false). consumed: bytes taken.
  // type0BlockBytes: payload size of the next type-0 program block, read when its header is
  // matched, so the caller must act on each frame before it passes the rest.
  bool Take(const std::uint8_t* data, std::size_t count, std::size_t& consumed,
            std::size_t type0BlockBytes);
  const Frame& Current() const { return frame_; }
  std::size_t DroppedBytes() const { return dropped_; }
  // Forgets a partly received frame.
  void Reset();

 private:
  bool NextHeaderByte(const std::uint8_t* data, std::size_t count, std::size_t& consumed,
                      std::uint8_t& byte);
  void Replay(std::size_t from);  // gives bytes from index `from` on back to the header search
  bool Complete(std::size_t size);

  std::array<std::uint8_t, kLargestFrame> buffer_{};
  std::size_t size_ = 0;
  std::size_t expected_ = 0;  // frame size once the header is known, 0 while matching
  bool ready_ = false;        // buffer_ holds the frame returned last time
  HeaderMatch match_;
  Frame frame_;
  // Header bytes that turned out not to belong to the frame before them; the header search
  // reads them again before new input. A header is a few bytes, so this stays small.
  std::array<std::uint8_t, 8> replay_{};
  std::size_t replayCount_ = 0;
  std::size_t dropped_ = 0;
};

}  // namespace kv218::sim
