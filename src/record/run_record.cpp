#include "record/run_record.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "record/json_line.h"
#include "record/record_platform.h"

namespace kv218 {
namespace {

const char* OperationName(RunRecord::Kind kind) {
  switch (kind) {
    case RunRecord::Kind::Program:
      return "program";
    case RunRecord::Kind::Store:
      return "store";
    case RunRecord::Kind::VerifyTarget:
      return "verify";
    case RunRecord::Kind::VerifyFlash:
      return "verify-flash";
    case RunRecord::Kind::ReadTarget:
      return "read";
    case RunRecord::Kind::ReadFlash:
      return "read-flash";
    case RunRecord::Kind::Standalone:
      break;
  }
  return "standalone";
}

std::optional<std::string> IsoTimeOf(const std::optional<WallTime>& when) {
  if (!when) return std::nullopt;
  return IsoTimeText(*when);
}

// The first difference as the log's aside tells it: the file address and the two bytes in
// hexadecimal, the count of differing bytes as a number.
std::optional<JsonLine> DifferenceObject(const std::optional<ByteDifference>& d) {
  if (!d) return std::nullopt;
  // (ground/text.h's Hex would bring the platform's LocalTime beside the record's.)
  std::array<char, 24> address{}, file{}, read{};
  std::snprintf(address.data(), address.size(), "0x%04llX",
                static_cast<unsigned long long>(d->address));
  std::snprintf(file.data(), file.size(), "%02X", d->file);
  std::snprintf(read.data(), read.size(), "%02X", d->read);
  JsonLine object;
  object.Text("address", address.data())
      .Text("file", file.data())
      .Text("read", read.data())
      .Integer("count", d->count);
  return object;
}

}  // namespace

std::string_view ToolVersion() { return KV218_VERSION; }

std::string IsoTimeText(WallTime when) {
  using namespace std::chrono;
  const auto sinceEpoch = duration_cast<milliseconds>(when.time_since_epoch());
  auto seconds = sinceEpoch.count() / 1000;
  auto millis = sinceEpoch.count() % 1000;
  if (millis < 0) {  // before 1970: the fraction counts forward from the earlier second
    millis += 1000;
    seconds -= 1;
  }
  const LocalTime local = LocalTimeOf(static_cast<std::time_t>(seconds));
  std::array<char, 64> date{};
  std::strftime(date.data(), date.size(), "%Y-%m-%dT%H:%M:%S", &local.fields);
  const long offsetMinutes = std::labs(local.utcOffsetSeconds) / 60;
  std::array<char, 32> tail{};
  std::snprintf(tail.data(), tail.size(), ".%03d%c%02ld:%02ld", static_cast<int>(millis),
                local.utcOffsetSeconds < 0 ? '-' : '+', offsetMinutes / 60, offsetMinutes % 60);
  return std::string(date.data()) + tail.data();
}

std::string RecordLine(const RunRecord& r) {
  JsonLine line;
  line.TextOrNull("start", IsoTimeOf(r.start)).Text("end", IsoTimeText(r.end));
  if (r.start && r.elapsed) {
    // Measured, not the difference of two wall-clock readings that a clock step apart.
    line.Seconds("duration_s", *r.elapsed);
  } else if (r.start) {
    line.Seconds("duration_s",
                 std::chrono::duration_cast<std::chrono::milliseconds>(r.end - *r.start));
  } else {
    line.Null("duration_s");
  }
  line.Text("operation", OperationName(r.kind)).Text("port", r.port);
  if (r.kind == RunRecord::Kind::Standalone) {
    line.Text("result", r.result)
        .TextOrNull("device_ready", r.deviceReady)
        .TextOrNull("code_programmed", r.codeProgrammed)
        .TextOrNull("code_verified", r.codeVerified)
        .TextOrNull("config_programmed", r.configProgrammed)
        .TextOrNull("config_verified", r.configVerified);
  } else {
    line.TextOrNull("hex_file", r.hexFile)
        .TextOrNull("hex_sha256", r.hexSha256)
        .IntegerOrNull("target_type", r.targetType)
        .TextOrNull("image_checksum", r.imageChecksum)
        .TextOrNull("config_checksum", r.configChecksum)
        .TextOrNull("device_identity", r.deviceIdentity)
        .IntegerOrNull("erase_counter", r.eraseCounter)
        .Text("result", r.result)
        .TextOrNull("failed_step", r.failedStep)
        .TextOrNull("failed_line", r.failedLine)
        .ObjectOrNull("first_difference", DifferenceObject(r.firstDifference));
  }
  line.Text("host", r.host).Text("version", r.version);
  if (r.kind != RunRecord::Kind::Standalone) line.TextListOrNull("forced", r.forced);
  return line.Finish();
}

}  // namespace kv218
