#pragma once
// Faults the simulated programmer commits on request, so that the host's handling of a
// misbehaving programmer can be tried without hardware. Each fault has a name usable on a
// command line ("name" or "name=value"); see kFaultCatalogue for what each one does.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv218::sim {

enum class FaultKind {
  SilentAt,              // silent-at=CMD[#N]
  BadIdentity,           // bad-identity
  CorruptReadback,       // corrupt-readback
  CorruptFlashReadback,  // corrupt-flash-readback
  ShortReply,            // short-reply[=CMD]
  NoiseBeforeReply,      // noise-before-reply[=CMD]
  StatusInData,          // status-in-data
  EraseCounter,          // erase-counter=N
  HangupMidTransfer,     // hangup-mid-transfer[=N]
  AutoProgramFails,      // autoprogram-fails
  PauseInReply,          // pause-in-reply[=MS]
};

struct FaultInfo {
  FaultKind kind;
  const char* name;
  const char* value;  // nullptr: takes no value; "[...]": optional; otherwise required
  const char* effect;
};

inline constexpr FaultInfo kFaultCatalogue[] = {
    {FaultKind::SilentAt, "silent-at", "CMD[#N]",
     "the N-th (default first) frame of command CMD is swallowed: no effect, no answer. CMD is "
     "the command's letters (RI, E, WDS, WDD, WS, WD, RDS, RDC, RDD, RDE, WC, RC, S, TA, FE, "
     "FWD, FRD, FWC, FRC, FRE, FWE, -); a family prefix (8WD, 9E, TFE) narrows it to one type"},
    {FaultKind::BadIdentity, "bad-identity", nullptr,
     "identity answers carry values the host rejects"},
    {FaultKind::CorruptReadback, "corrupt-readback", nullptr,
     "one byte of the first data block of every target read-back is flipped"},
    {FaultKind::CorruptFlashReadback, "corrupt-flash-readback", nullptr,
     "one byte of flash block 0 is flipped whenever it is read back"},
    {FaultKind::ShortReply, "short-reply", "[CMD]",
     "data answers (RDD, FRD, RC, FRC, or only those of CMD) carry half their payload"},
    {FaultKind::NoiseBeforeReply, "noise-before-reply", "[CMD]",
     "two noise bytes precede every answer (or those of CMD) in the same burst"},
    {FaultKind::StatusInData, "status-in-data", nullptr,
     "a status report 1B 53 02 (block number) sits in the middle of every read-back data "
     "answer, displacing the data behind it"},
    {FaultKind::EraseCounter, "erase-counter", "N",
     "the flash bulk-erase counter starts at N (for instance 99999 or 100000)"},
    {FaultKind::HangupMidTransfer, "hangup-mid-transfer", "[N]",
     "the line drops when the N-th (default 3rd) block frame of the session arrives (WDD, WD, "
     "RDD, FWD, FRD)"},
    {FaultKind::AutoProgramFails, "autoprogram-fails", nullptr,
     "AutoProgram answers with the result byte 0"},
    {FaultKind::PauseInReply, "pause-in-reply", "[MS]",
     "every read-back data answer (RDD, FRD) stops for MS milliseconds (default 150) in the "
     "middle of its data, longer than the 50 ms gap the programmer promises to leave only "
     "after its outputs"},
};

// The pause of pause-in-reply when it names none, in milliseconds.
inline constexpr std::uint32_t kDefaultReplyPauseMs = 150;

struct Fault {
  FaultKind kind;
  std::string command;       // SilentAt, ShortReply, NoiseBeforeReply: letters, empty = all
  std::uint32_t number = 0;  // SilentAt: occurrence; EraseCounter: value; Hangup: block;
                             // PauseInReply: milliseconds
};

class FaultSet {
 public:
  // Adds one fault from its text. On an unknown name or a bad value returns false and sets
  // error to a message that names the text and the known faults.
  bool Add(const std::string& text, std::string& error);
  // All of texts, or nullopt with error set at the first bad one.
  static std::optional<FaultSet> Parse(const std::vector<std::string>& texts, std::string& error);

  // The first fault of that kind, or null.
  const Fault* Find(FaultKind kind) const;
  bool Has(FaultKind kind) const { return Find(kind) != nullptr; }
  const std::vector<Fault>& All() const { return faults_; }

  // "name[=value]: effect" lines for a command line's help text.
  static std::string Help();

 private:
  std::vector<Fault> faults_;
};

}  // namespace kv218::sim
