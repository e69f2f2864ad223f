#include "record/run_record.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <nlohmann/json.hpp>

#include "ground/record_platform.h"
#include "ground/utf8.h"

namespace kv218 {
namespace {

// Keys in the order they are set.
using Json = nlohmann::ordered_json;

const char* OperationName(RunRecord::Kind kind) {
  switch (kind) {
    case RunRecord::Kind::Program:
      return "program";
    case RunRecord::Kind::Store:
      return "store";
    case RunRecord::Kind::Standalone:
      break;
  }
  return "standalone";
}

// A string as JSON: valid UTF-8 as it is, each other byte as U+FFFD, so that every line is
// valid JSON whatever a file name holds.
Json Text(std::string_view text) { return ValidUtf8(text); }
// The value, or null when there is none.
Json TextOrNull(const std::optional<std::string>& text) { return text ? Text(*text) : Json(); }
Json IntegerOrNull(const std::optional<std::int64_t>& value) {
  return value ? Json(*value) : Json();
}
// Seconds to the millisecond, a JSON number whatever the locale.
Json Seconds(std::chrono::milliseconds duration) {
  return static_cast<double>(duration.count()) / 1000.0;
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
  Json line;
  line["start"] = r.start ? Text(IsoTimeText(*r.start)) : Json();
  line["end"] = Text(IsoTimeText(r.end));
  line["duration_s"] =
      r.start ? Seconds(std::chrono::duration_cast<std::chrono::milliseconds>(r.end - *r.start))
              : Json();
  line["operation"] = OperationName(r.kind);
  line["port"] = Text(r.port);
  if (r.kind == RunRecord::Kind::Standalone) {
    line["result"] = Text(r.result);
    line["device_ready"] = TextOrNull(r.deviceReady);
    line["code_programmed"] = TextOrNull(r.codeProgrammed);
    line["code_verified"] = TextOrNull(r.codeVerified);
    line["config_programmed"] = TextOrNull(r.configProgrammed);
    line["config_verified"] = TextOrNull(r.configVerified);
  } else {
    line["hex_file"] = TextOrNull(r.hexFile);
    line["hex_sha256"] = TextOrNull(r.hexSha256);
    line["target_type"] = IntegerOrNull(r.targetType);
    line["image_checksum"] = TextOrNull(r.imageChecksum);
    line["config_checksum"] = TextOrNull(r.configChecksum);
    line["device_identity"] = TextOrNull(r.deviceIdentity);
    line["erase_counter"] = IntegerOrNull(r.eraseCounter);
    line["result"] = Text(r.result);
    line["failed_step"] = TextOrNull(r.failedStep);
    line["failed_line"] = TextOrNull(r.failedLine);
  }
  line["host"] = Text(r.host);
  line["version"] = Text(r.version);
  // One line: no indentation, and UTF-8 kept as it is rather than escaped.
  return line.dump() + "\n";
}

}  // namespace kv218
