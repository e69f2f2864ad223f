#pragma once
// The frames the reply decoding sends on its own to drive a block transfer. The frame
// builders (ops) implement it; the decoding sees only this.

namespace kv218 {

class FollowUpSender {
 public:
  virtual ~FollowUpSender() = default;
  virtual void ReadProgram() = 0;             // type 0, frame of the current ReadPhase
  virtual void ReadProgram(int family) = 0;   // types 1 (family 0) and 2 (family 1)
  virtual void WriteProgram() = 0;            // type 0, frame of the current WritePhase
  virtual void WriteProgram(int family) = 0;  // types 1 and 2
  virtual void FlashWriteData() = 0;
  virtual void FlashReadData() = 0;
};

}  // namespace kv218
