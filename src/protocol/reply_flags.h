#pragma once
// The reply flags the sequences wait for: two groups of seven, 0 meaning "not yet"; and the
// result byte of AutoProgram, whose reply sets its flag the same whether the programmer
// succeeded or not.

#include <cstdint>

namespace kv218 {

struct TargetFlags {
  std::int32_t DeviceIdResult = 0;  // 1 identity accepted (also after AutoProgram), 2 rejected
  std::int32_t EraseDone = 0;
  std::int32_t WriteDone = 0;
  std::int32_t ReadDone = 0;  // 1 read back, 2 read back with data missing
  std::int32_t ConfigWriteDone = 0;
  std::int32_t ConfigReadDone = 0;
  std::int32_t ResetDone = 0;
  std::int32_t AutoProgramResult = -1;  // the AutoProgram reply's result byte, -1 before one
};

struct FlashFlags {
  std::int32_t EraseCounterState = 0;  // 1 below the limit, 2 limit reached
  std::int32_t FlashEraseDone = 0;
  std::int32_t CounterWriteDone = 0;
  std::int32_t FlashWriteDone = 0;
  std::int32_t FlashReadDone = 0;  // 1 read back, 2 read back with data missing
  std::int32_t FlashConfigWriteDone = 0;
  std::int32_t FlashConfigReadDone = 0;
};

struct ReplyFlags {
  TargetFlags target;
  FlashFlags flash;
};

}  // namespace kv218
