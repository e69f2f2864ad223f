#include "settings/settings.h"

#include <cctype>
#include <vector>

#include "ground/platform.h"
#include "ground/shown_text.h"
#include "ground/target_type.h"
#include "settings/ini_file.h"

namespace kv218 {

namespace {
bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}
}  // namespace

Settings ReadSettings(const std::string& path) {
  const IniFile file(path);
  const Settings defaults;
  Settings settings;
  settings.PortPath = file.ReadString(kPortSection, "PORT", defaults.PortPath);
  settings.PortBaud = file.ReadInteger(kPortSection, "BAUD", defaults.PortBaud);
  settings.PortData = file.ReadInteger(kPortSection, "DATA", defaults.PortData);
  settings.PortStop = file.ReadInteger(kPortSection, "STOP", defaults.PortStop);
  settings.PortParity = file.ReadString(kPortSection, "PARITY", defaults.PortParity);
  settings.Com = file.ReadInteger(kIndexSection, "COM", defaults.Com);
  // A TYPE that names no type selects none: the operator chooses, rather than a guess
  // programming boards of one type with another's frames. Only a missing one means the first.
  if (file.ReadString(kIndexSection, "TYPE", "").empty()) {
    settings.Type = defaults.Type;
  } else {
    settings.Type = file.ReadInteger(kIndexSection, "TYPE", kNoTypeChosen);
    if (!IsTargetTypeItem(settings.Type)) settings.Type = kNoTypeChosen;
  }
  settings.SilenceFraming = SameLetters(file.ReadString(kPortSection, "FRAMING", ""), "SILENCE");
  settings.RecordFile = file.ReadString(kRecordSection, "FILE", defaults.RecordFile);
  settings.NotRead = file.Refusal();
  return settings;
}

std::optional<std::string> WriteSettings(const std::string& path, const Settings& settings,
                                         FileReplacer* replacer) {
  IniFile file(path, replacer);
  // One save for the keys: a settings file rewritten, synced and renamed once per key would
  // cost a sync each and leave files between that are no save at all. A selector with nothing
  // selected leaves its key as it was: "none" is never stored.
  std::vector<IniFile::KeyValue> keys = {{kPortSection, "PORT", settings.PortPath},
                                         {kPortSection, "BAUD", std::to_string(settings.PortBaud)},
                                         {kPortSection, "DATA", std::to_string(settings.PortData)},
                                         {kPortSection, "STOP", std::to_string(settings.PortStop)},
                                         {kPortSection, "PARITY", settings.PortParity}};
  if (settings.Com >= 0) keys.push_back({kIndexSection, "COM", std::to_string(settings.Com)});
  if (IsTargetTypeItem(settings.Type)) {
    keys.push_back({kIndexSection, "TYPE", std::to_string(settings.Type)});
  }
  if (file.WriteKeys(keys)) return std::nullopt;
  const std::string& reason = file.LastError();
  return "Unable to write to " + ShownText(path) + (reason.empty() ? "" : ": " + reason);
}

std::string SettingsNotReadText(const std::string& path, const Settings& settings) {
  if (settings.NotRead.empty()) return {};
  return "Settings file " + ShownText(path) + " not read (" + settings.NotRead +
         "); the defaults are used";
}

std::string PortSettingsText(const Settings& settings) {
  return std::to_string(settings.PortBaud) + "," + settings.PortParity + "," +
         std::to_string(settings.PortData) + "," + std::to_string(settings.PortStop);
}

std::string PortNameOf(std::string_view portPath) {
  const auto slash = portPath.rfind('\\');
  return std::string(slash == std::string_view::npos ? portPath : portPath.substr(slash + 1));
}

std::string SettingsPathFor(std::string_view executablePath) {
  const auto nameStart = executablePath.find_last_of("/\\");
  const auto dot = executablePath.rfind('.');
  const bool hasExtension =
      dot != std::string_view::npos && (nameStart == std::string_view::npos || dot > nameStart);
  return std::string(hasExtension ? executablePath.substr(0, dot) : executablePath) + ".INI";
}

std::string RunningExecutablePath() { return ExecutablePath(); }

}  // namespace kv218
