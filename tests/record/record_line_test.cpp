// The record file's lines: JSON that any parser reads back as written, whatever the strings
// hold, and time stamps in ISO 8601 with the local offset.

#include "record/run_record.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <ctime>
#include <ostream>
#include <string>
#include <vector>

#include "record/json_line.h"

namespace kv218 {
namespace {

using nlohmann::json;

struct Escape {
  std::string text;
  std::string literal;  // as AppendJsonString writes it
  std::string parsed;   // as a JSON parser reads it back (UTF-8)
};
void PrintTo(const Escape& e, std::ostream* os) { *os << e.literal; }

class JsonStrings : public ::testing::TestWithParam<Escape> {};

TEST_P(JsonStrings, AreEscapedAndReadBackByAParser) {
  std::string out;
  AppendJsonString(out, GetParam().text);
  EXPECT_EQ(out, GetParam().literal);
  EXPECT_EQ(json::parse(out).get<std::string>(), GetParam().parsed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JsonStrings,
    ::testing::Values(
        Escape{"/tmp/tk.hex", "\"/tmp/tk.hex\"", "/tmp/tk.hex"},
        Escape{"say \"hi\" \\ bye", "\"say \\\"hi\\\" \\\\ bye\"", "say \"hi\" \\ bye"},
        Escape{"a\nb\r\tc", "\"a\\nb\\r\\tc\"", "a\nb\r\tc"},
        // Backspace and form feed as \u escapes, as record files have always had them.
        Escape{"\b\f", "\"\\u0008\\u000c\"", "\b\f"},
        Escape{std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\x7f\"",
               std::string("\x01\x1f\x7f", 3)},
        Escape{std::string("nul\0here", 8), "\"nul\\u0000here\"", std::string("nul\0here", 8)},
        // Valid UTF-8 is kept as it is, up to four-byte sequences.
        Escape{"Grüße 試 😀", "\"Grüße 試 😀\"", "Grüße 試 😀"},
        // Bytes that are not UTF-8 (a Latin-1 name, a cut sequence, an overlong form, a lone
        // continuation byte, a code past U+10FFFF, a surrogate) each become U+FFFD.
        Escape{"caf\xe9.hex", "\"caf\\ufffd.hex\"", "caf\xef\xbf\xbd.hex"},
        Escape{"\xe8\xa9", "\"\\ufffd\\ufffd\"", "\xef\xbf\xbd\xef\xbf\xbd"},
        Escape{"\xc0\xaf", "\"\\ufffd\\ufffd\"", "\xef\xbf\xbd\xef\xbf\xbd"},
        Escape{"a\x80z", "\"a\\ufffdz\"", "a\xef\xbf\xbdz"},
        Escape{"\xf4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\"",
               "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
        Escape{"\xed\xa0\x80", "\"\\ufffd\\ufffd\\ufffd\"",
               "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"}));

// Runs the body with the TZ variable set, then restores it.
class ZoneTest : public ::testing::Test {
 protected:
  void SetZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }
  void TearDown() override {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  std::optional<std::string> saved_ =
      std::getenv("TZ") ? std::optional<std::string>(std::getenv("TZ")) : std::nullopt;
};

TEST_F(ZoneTest, TimesCarryMillisecondsAndTheLocalOffset) {
  // 2000-01-01T00:00:00.250 UTC.
  const WallTime when{std::chrono::milliseconds(946684800250)};
  SetZone("UTC0");
  EXPECT_EQ(IsoTimeText(when), "2000-01-01T00:00:00.250+00:00");
  SetZone("EST5");
  EXPECT_EQ(IsoTimeText(when), "1999-12-31T19:00:00.250-05:00");
  SetZone("IST-5:30");
  EXPECT_EQ(IsoTimeText(when), "2000-01-01T05:30:00.250+05:30");
  SetZone("UTC0");
  EXPECT_EQ(IsoTimeText(WallTime{std::chrono::milliseconds(-1)}), "1969-12-31T23:59:59.999+00:00");
}

RunRecord FailedStore() {
  RunRecord r;
  r.kind = RunRecord::Kind::Store;
  r.start = WallTime{std::chrono::milliseconds(946684800000)};
  r.end = *r.start + std::chrono::milliseconds(12345);
  r.port = "/dev/ttyUSB0";
  r.hexFile = "/srv/images/\"new\"\nline.hex";
  r.hexSha256 = std::string(64, 'f');
  r.targetType = 0;
  r.imageChecksum = "1A2B";
  r.configChecksum = "0C3D";
  r.eraseCounter = 41;
  r.result = "failed";
  r.failedStep = "3. Verify Flash Memory";
  r.failedLine = "3. Verify Flash Memory ... NG";
  r.firstDifference = ByteDifference{0x1F00014, 0xDF, 0xD7, 2};
  r.host = "line-7";
  r.version = "1.85.11";
  return r;
}

TEST_F(ZoneTest, AHostRunIsOneLineOfJsonWithEveryField) {
  SetZone("UTC0");
  const std::string line = RecordLine(FailedStore());
  ASSERT_TRUE(line.ends_with("}\n"));
  EXPECT_EQ(line.find('\n'), line.size() - 1);  // the file name's line feed is escaped
  // The duration with three decimals, whatever the locale.
  EXPECT_NE(line.find(",\"duration_s\":12.345,"), std::string::npos) << line;
  const json j = json::parse(line);
  EXPECT_EQ(j["start"], "2000-01-01T00:00:00.000+00:00");
  EXPECT_EQ(j["end"], "2000-01-01T00:00:12.345+00:00");
  EXPECT_EQ(j["duration_s"], 12.345);
  EXPECT_EQ(j["operation"], "store");
  EXPECT_EQ(j["port"], "/dev/ttyUSB0");
  EXPECT_EQ(j["hex_file"], "/srv/images/\"new\"\nline.hex");
  EXPECT_EQ(j["hex_sha256"], std::string(64, 'f'));
  EXPECT_EQ(j["target_type"], 0);
  EXPECT_EQ(j["image_checksum"], "1A2B");
  EXPECT_EQ(j["config_checksum"], "0C3D");
  EXPECT_TRUE(j["device_identity"].is_null());
  EXPECT_EQ(j["erase_counter"], 41);
  EXPECT_EQ(j["result"], "failed");
  EXPECT_EQ(j["failed_step"], "3. Verify Flash Memory");
  EXPECT_EQ(j["failed_line"], "3. Verify Flash Memory ... NG");
  EXPECT_EQ(j["first_difference"],
            json({{"address", "0x1F00014"}, {"file", "DF"}, {"read", "D7"}, {"count", 2}}));
  EXPECT_EQ(j["host"], "line-7");
  EXPECT_EQ(j["version"], "1.85.11");
  EXPECT_FALSE(j.contains("device_ready"));  // stand-alone fields only on stand-alone lines
  EXPECT_TRUE(j["forced"].is_null());
}

// A suspect file run all the same names its reasons, escaped as every string is.
TEST(RecordLine, AForcedRunListsItsReasons) {
  RunRecord r = FailedStore();
  r.forced = std::vector<std::string>{"no data records", "2 records with a \"wrong\" checksum"};
  const std::string line = RecordLine(r);
  EXPECT_TRUE(
      line.ends_with(",\"forced\":[\"no data records\",\"2 records with a "
                     "\\\"wrong\\\" checksum\"]}\n"))
      << line;
  EXPECT_EQ(json::parse(line)["forced"],
            json::array({"no data records", "2 records with a \"wrong\" checksum"}));
}

// The fields in the order readers of the file have always found them; first_difference, new,
// follows the failed line it explains.
TEST(RecordLine, KeepsItsFieldsInOrder) {
  const auto keys = [](const std::string& line) {
    const auto parsed = nlohmann::ordered_json::parse(line);
    std::vector<std::string> names;
    for (const auto& [key, value] : parsed.items()) names.push_back(key);
    return names;
  };
  RunRecord standalone;
  standalone.kind = RunRecord::Kind::Standalone;
  EXPECT_EQ(
      keys(RecordLine(FailedStore())),
      (std::vector<std::string>{"start", "end", "duration_s", "operation", "port", "hex_file",
                                "hex_sha256", "target_type", "image_checksum", "config_checksum",
                                "device_identity", "erase_counter", "result", "failed_step",
                                "failed_line", "first_difference", "host", "version", "forced"}));
  EXPECT_EQ(keys(RecordLine(standalone)),
            (std::vector<std::string>{"start", "end", "duration_s", "operation", "port", "result",
                                      "device_ready", "code_programmed", "code_verified",
                                      "config_programmed", "config_verified", "host", "version"}));
}

TEST_F(ZoneTest, AStandaloneRunWithoutItsOpeningHasNoStartOrDuration) {
  SetZone("UTC0");
  RunRecord r;
  r.kind = RunRecord::Kind::Standalone;
  r.end = WallTime{std::chrono::seconds(60)};
  r.port = "/dev/ttyS0";
  r.result = "succeeded";
  r.codeVerified = "BEEF";
  const json j = json::parse(RecordLine(r));
  EXPECT_TRUE(j["start"].is_null());
  EXPECT_TRUE(j["duration_s"].is_null());
  EXPECT_EQ(j["end"], "1970-01-01T00:01:00.000+00:00");
  EXPECT_EQ(j["operation"], "standalone");
  EXPECT_EQ(j["code_verified"], "BEEF");
  EXPECT_TRUE(j["device_ready"].is_null());
  EXPECT_FALSE(j.contains("hex_file"));
}

TEST(ToolVersion, IsTheProjectVersion) { EXPECT_EQ(ToolVersion(), "1.85.11"); }

}  // namespace
}  // namespace kv218
