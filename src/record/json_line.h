#pragma once
// One JSON object on one line, built field by field in the order given: what each line of
// the record file is. Strings are escaped as JSON asks (quotes, backslash, control
// characters); valid UTF-8 is kept as it is, and a byte that is not part of valid UTF-8 (a
// file name in another encoding) becomes U+FFFD, so that every line is valid JSON.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv218 {

// text as a JSON string literal, quotes included, appended to out.
void AppendJsonString(std::string& out, std::string_view text);

class JsonLine {
 public:
  JsonLine& Text(std::string_view key, std::string_view value);
  JsonLine& Null(std::string_view key);
  // The value, or null when there is none.
  JsonLine& TextOrNull(std::string_view key, const std::optional<std::string>& value);
  JsonLine& Integer(std::string_view key, std::int64_t value);
  JsonLine& IntegerOrNull(std::string_view key, const std::optional<std::int64_t>& value);
  // An array of strings, or null when there is none.
  JsonLine& TextListOrNull(std::string_view key,
                           const std::optional<std::vector<std::string>>& values);
  // A nested object, or null when there is none.
  JsonLine& ObjectOrNull(std::string_view key, const std::optional<JsonLine>& value);
  // A duration as a number of seconds with three decimals, whatever the locale.
  JsonLine& Seconds(std::string_view key, std::chrono::milliseconds value);

  // "{...}" and a line feed.
  std::string Finish() const { return text_ + "}\n"; }

 private:
  void Key(std::string_view key);
  std::string text_ = "{";
};

}  // namespace kv218
