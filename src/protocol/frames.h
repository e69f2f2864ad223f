#pragma once
// The host-to-programmer command frames. Each builder builds its frame in the station's
// TxBuffer (TxClear, TxAdd..., TxSend with TxLength), writes its step line first where it has
// one (through RunLog, so the station's RunEvents hear of the step), and sends at once.
// Family arguments (FamilyOf a target type): 0 gives '8' (type 1), 1 gives '9' (type 2), any
// other value no family byte.

#include <cstdint>
#include <string_view>

#include "ground/target_type.h"
#include "ground/window_ops.h"
#include "image/target_types.h"
#include "protocol/follow_up.h"
#include "protocol/station.h"

namespace kv218 {

class RunLog;

class Frames final : public FollowUpSender {
 public:
  Frames(Station& station, WindowOps& window) : station_(station), window_(window) {}

  void BeginRun();
  void EndRun();
  void ReadDeviceId();            // type 0
  void ReadDeviceId(int family);  // types 1, 2
  void BulkErase();
  void BulkErase(int family);
  void WriteProgram() override;
  void WriteProgram(int family) override;
  void ReadProgram() override;
  void ReadProgram(int family) override;
  // The read-back frame of the type's family (type 0: its own), starting with stepLine where
  // the program run starts with "4. Reading Program Memory ...": a session that only reads
  // numbers its steps its own way.
  void ReadProgramAs(TargetType targetType, std::string_view stepLine);
  void WriteConfig();
  void ReadConfig();
  void ReadConfig(std::string_view stepLine);
  void ResetTarget();
  void AutoProgram();
  void FlashErase(TargetType targetType);  // its row's flash erase family byte
  void FlashWriteData() override;
  void FlashReadData() override;
  void FlashWriteConfig();
  void FlashReadConfig();
  void ReadEraseCounter();
  void WriteEraseCounter();
  void QueryInfo();

 private:
  void ReadProgram24(std::string_view stepLine);
  void ReadProgram16(int family, std::string_view stepLine);
  RunLog Log();

  Station& station_;
  WindowOps& window_;
};

}  // namespace kv218
