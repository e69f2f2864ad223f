#pragma once
// What the programmer sends on its own: the status reports of its stand-alone runs
// (ESC 'S' code [values]) and the notes that answer QueryInfo. Both only log, as lines aside
// (WindowOps::AppendAside): they may come in the middle of a step, whose result still belongs
// on the step's line.

#include <cstddef>
#include <cstdint>
#include <ctime>

#include "ground/window_ops.h"
#include "serial/station.h"

namespace kv218 {

// Logs every status report of the read bytes[0, count), in the order of their positions. A
// report that the end of the read cuts off is kept in carry and logged once the next read has
// brought its missing bytes (a pause of the programmer split it); bytes of earlier reads are
// never taken otherwise. now stamps codes 0, 6, 7.
void LogStatusReports(WindowOps& window, ReportCarry& carry, const std::uint8_t* bytes,
                      std::size_t count, std::time_t now);

// Logs the information note the read begins with, if any: "<<NOTE>> FACTORY SETTING" for
// 1F 2D 53, "<<NOTE>> " and the received text from index 2 on for 1F 2D 46, its control
// characters shown as \xHH. True when the read was a note.
bool LogInformationReply(WindowOps& window, const std::uint8_t* bytes, std::size_t count);

}  // namespace kv218
