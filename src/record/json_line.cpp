#include "record/json_line.h"

#include <cstdio>

#include "ground/utf8.h"

namespace kv218 {

void AppendJsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      char32_t code = 0;
      const std::size_t length = Utf8Sequence(text, i, code);
      if (length == 0) {
        out.append("\\ufffd");
        ++i;
      } else {
        out.append(text.substr(i, length));
        i += length;
      }
      continue;
    }
    switch (c) {
      case '"':
        out.append("\\\"");
        break;
      case '\\':
        out.append("\\\\");
        break;
      case '\n':
        out.append("\\n");
        break;
      case '\r':
        out.append("\\r");
        break;
      case '\t':
        out.append("\\t");
        break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out.append(escaped);
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
    ++i;
  }
  out.push_back('"');
}

void JsonLine::Key(std::string_view key) {
  if (text_.size() > 1) text_.push_back(',');
  AppendJsonString(text_, key);
  text_.push_back(':');
}

JsonLine& JsonLine::Text(std::string_view key, std::string_view value) {
  Key(key);
  AppendJsonString(text_, value);
  return *this;
}

JsonLine& JsonLine::ObjectOrNull(std::string_view key, const std::optional<JsonLine>& value) {
  if (!value) return Null(key);
  Key(key);
  text_.append(value->text_).push_back('}');
  return *this;
}

JsonLine& JsonLine::TextListOrNull(std::string_view key,
                                   const std::optional<std::vector<std::string>>& values) {
  if (!values) return Null(key);
  Key(key);
  text_.push_back('[');
  for (std::size_t i = 0; i < values->size(); ++i) {
    if (i > 0) text_.push_back(',');
    AppendJsonString(text_, (*values)[i]);
  }
  text_.push_back(']');
  return *this;
}

JsonLine& JsonLine::Null(std::string_view key) {
  Key(key);
  text_.append("null");
  return *this;
}

JsonLine& JsonLine::TextOrNull(std::string_view key, const std::optional<std::string>& value) {
  return value ? Text(key, *value) : Null(key);
}

JsonLine& JsonLine::Integer(std::string_view key, std::int64_t value) {
  Key(key);
  text_.append(std::to_string(value));
  return *this;
}

JsonLine& JsonLine::IntegerOrNull(std::string_view key, const std::optional<std::int64_t>& value) {
  return value ? Integer(key, *value) : Null(key);
}

JsonLine& JsonLine::Seconds(std::string_view key, std::chrono::milliseconds value) {
  Key(key);
  std::int64_t ms = value.count();
  if (ms < 0) {
    text_.push_back('-');
    ms = -ms;
  }
  const std::string fraction = std::to_string(ms % 1000);
  text_.append(std::to_string(ms / 1000));
  text_.push_back('.');
  text_.append(3 - fraction.size(), '0');
  text_.append(fraction);
  return *this;
}

}  // namespace kv218
