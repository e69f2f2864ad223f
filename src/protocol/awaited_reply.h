#pragma once
// The command the programmer owes an answer: the header of the last frame sent (the bytes
// after the lead byte: family byte, command and phase letters, then the first payload bytes),
// and the ticks of the tick timer since it went out. A reply is taken only when it answers
// this command and only once, so a late or repeated reply to an earlier command never
// acknowledges the current one.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace kv218 {

struct AwaitedReply {
  static constexpr std::size_t kHeadBytes = 4;  // the longest reply head: "8RDS"

  std::array<std::uint8_t, kHeadBytes> head{};
  std::size_t length = 0;
  bool pending = false;  // sent and not answered yet
  // Ticks since the last frame went out, whether bytes arrive or not: the bound on a step's
  // wait for its answer, where TimeOutCount counts only silence.
  std::int32_t ticks = 0;

  // frame is the whole frame, lead byte first; answered is false for the frames the
  // programmer does not answer with a reply (BeginRun, EndRun, the note's query).
  void Sent(const std::uint8_t* frame, std::size_t count, bool answered) {
    length = count > 1 ? std::min(count - 1, kHeadBytes) : 0;
    if (length > 0) std::memcpy(head.data(), frame + 1, length);
    pending = answered;
    ticks = 0;
  }
  // Whether a reply whose head holds letters (after the lead byte) answers the command
  // awaited.
  bool Answers(std::string_view letters) const {
    return pending && letters.size() <= length &&
           std::memcmp(head.data(), letters.data(), letters.size()) == 0;
  }
  void Tick() {
    if (ticks < INT32_MAX) ++ticks;
  }
};

}  // namespace kv218
