#pragma once
// What a program, store, verify or read run did, told as it happens to whoever keeps the run's
// record (the run recorder); the log shows the same in words, and the record never has to read them
// back. Header-only seam, like WindowOps. All calls are made on the window thread.

#include <cstdint>
#include <string_view>

namespace kv218 {

class RunEvents {
 public:
  virtual ~RunEvents() = default;

  // The run's reload of its HEX file: loaded, with the checksum as the status bar shows it,
  // or failed with the message that was shown.
  virtual void ImageLoaded(std::string_view checksum) = 0;
  virtual void LoadFailed(std::string_view message) = 0;
  // A step began; line is its log line ("1. Reading Device ID ...").
  virtual void StepStarted(std::string_view line) = 0;
  // Text that completed the last log line: a step's " OK", " NG" or values.
  virtual void StepResult(std::string_view text) = 0;
  // The device identity the programmer read, as the step line shows it ("0xBF , 0x2118");
  // its StepResult comes first.
  virtual void IdentityRead(std::string_view values) = 0;
  // The programmer's flash erase counter as it reported it (its note follows in the log).
  virtual void EraseCounterRead(std::uint32_t count) = 0;
  // A read-back differed from the file: the first differing byte's address in the HEX file,
  // the file's and the read-back's byte, and how many bytes differ in all. Its step's NG
  // result comes first.
  virtual void ReadBackDiffered(std::int64_t address, std::uint8_t file, std::uint8_t read,
                                std::int64_t count) = 0;
  // The run stopped with a line of its own: no reply in time, or the flash's endurance limit.
  virtual void RunStopped(std::string_view line) = 0;
  // The run's closing line: "PROGRAMMING SUCCEEDED." or "PROGRAMMING FAILED." (or VERIFY,
  // READ).
  virtual void RunEnded(bool succeeded) = 0;
};

// Hears nothing: where no record is kept.
class NullRunEvents final : public RunEvents {
 public:
  void ImageLoaded(std::string_view) override {}
  void LoadFailed(std::string_view) override {}
  void StepStarted(std::string_view) override {}
  void StepResult(std::string_view) override {}
  void IdentityRead(std::string_view) override {}
  void EraseCounterRead(std::uint32_t) override {}
  void ReadBackDiffered(std::int64_t, std::uint8_t, std::uint8_t, std::int64_t) override {}
  void RunStopped(std::string_view) override {}
  void RunEnded(bool) override {}
};

// The one NullRunEvents every station starts with.
inline RunEvents& NoRunEvents() {
  static NullRunEvents none;
  return none;
}

}  // namespace kv218
