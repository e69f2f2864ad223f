#include "cli/cli_common.h"

#include <array>
#include <filesystem>

#include "ground/utf8_path.h"
#include "settings/settings.h"

namespace kv218::cli {

namespace {

constexpr std::array<std::string_view, 4> kLabels = {"TK Series", "MVRx Series", "Cradle Set",
                                                     "Eco Mode"};

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
  const std::filesystem::path self = RunningExecutablePath();
  return LocateSettings(SettingsPathFor(Utf8FromPath(self.parent_path() / "kv218tool")),
                        SystemSettingsEnvironment());
}

std::string SettingsPathOf(const CommonOptions& options) {
  return SettingsLocationOf(options).readPath;
}

std::optional<int> ParseTargetType(std::string_view text) {
  if (text.size() == 1 && text[0] >= '0' && text[0] <= '3') return text[0] - '0';
  for (std::size_t i = 0; i < kLabels.size(); ++i) {
    if (SameText(text, kLabels[i])) return static_cast<int>(i);
  }
  return std::nullopt;
}

std::string_view TargetTypeLabel(int targetType) {
  return targetType >= 0 && targetType < 4 ? kLabels[static_cast<std::size_t>(targetType)]
                                           : std::string_view{};
}

}  // namespace kv218::cli
