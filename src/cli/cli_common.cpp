#include "cli/cli_common.h"

#include <filesystem>

#include "ground/utf8_path.h"
#include "image/target_types.h"
#include "settings/settings.h"

namespace kv218::cli {

namespace {

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

SettingsLocation SettingsLocationOf(const CommonOptions& options) {
  if (!options.settingsPath.empty()) return options.settingsPath;
  // Through UTF-8: a path made from a narrow string would take the ANSI code page on Windows
  // and lose a non-ASCII install folder.
  const std::filesystem::path self = PathFromUtf8(RunningExecutablePath());
  return LocateSettings(SettingsPathFor(Utf8FromPath(self.parent_path() / "kv218tool")),
                        SystemSettingsEnvironment());
}

std::string SettingsPathOf(const CommonOptions& options) {
  return SettingsLocationOf(options).readPath;
}

std::optional<TargetType> ParseTargetType(std::string_view text) {
  if (text.size() == 1 && IsTargetTypeItem(text[0] - '0')) return TargetTypeAt(text[0] - '0');
  for (int i = 0; i < kTargetTypeCount; ++i) {
    if (SameText(text, TargetTypeLabel(TargetTypeAt(i)))) return TargetTypeAt(i);
  }
  return std::nullopt;
}

}  // namespace kv218::cli
