#include "sim/frame_assembler.h"

#include <algorithm>
#include <cstring>

namespace kv218::sim {

void FrameAssembler::Reset() {
  size_ = 0;
  expected_ = 0;
  ready_ = false;
  replayCount_ = 0;
}

bool FrameAssembler::NextHeaderByte(const std::uint8_t* data, std::size_t count,
                                    std::size_t& consumed, std::uint8_t& byte) {
  if (replayCount_ > 0) {
    byte = replay_[0];
    std::memmove(replay_.data(), replay_.data() + 1, --replayCount_);
    return true;
  }
  if (consumed == count) return false;
  byte = data[consumed++];
  return true;
}

void FrameAssembler::Replay(std::size_t from) {
  const std::size_t n = size_ - from;
  // These bytes came before what is still waiting, so they go in front of it.
  std::memmove(replay_.data() + n, replay_.data(), replayCount_);
  std::memcpy(replay_.data(), buffer_.data() + from, n);
  replayCount_ += n;
  size_ = from;
}

bool FrameAssembler::Complete(std::size_t size) {
  frame_ = Frame{match_.command, match_.targetType, buffer_.data(), size, match_.headerSize};
  ready_ = true;
  expected_ = 0;
  return true;
}

bool FrameAssembler::Take(const std::uint8_t* data, std::size_t count, std::size_t& consumed,
                          std::size_t type0BlockBytes) {
  consumed = 0;
  if (ready_) {
    ready_ = false;
    size_ = 0;
  }
  for (;;) {
    if (expected_ > 0) {  // payload: taken blindly, it may hold any byte
      while (replayCount_ > 0 && size_ < expected_) {
        NextHeaderByte(data, count, consumed, buffer_[size_++]);
      }
      const std::size_t n = std::min(expected_ - size_, count - consumed);
      std::memcpy(buffer_.data() + size_, data + consumed, n);
      size_ += n;
      consumed += n;
      if (size_ == expected_) return Complete(size_);
      return false;
    }
    std::uint8_t byte = 0;
    if (!NextHeaderByte(data, count, consumed, byte)) return false;
    if (size_ == 0 && byte != kLead) {
      ++dropped_;
      continue;
    }
    buffer_[size_++] = byte;
    match_ = MatchHeader(buffer_.data(), size_, type0BlockBytes);
    switch (match_.status) {
      case HeaderMatch::NeedMore:
        break;
      case HeaderMatch::Invalid:
        ++dropped_;
        Replay(1);
        size_ = 0;
        break;
      case HeaderMatch::Known:
        if (match_.frameSize <= size_) {
          Replay(match_.frameSize);
          return Complete(match_.frameSize);
        }
        expected_ = match_.frameSize;
        break;
    }
  }
}

}  // namespace kv218::sim
