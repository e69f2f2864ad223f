#include "settings/settings_location.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "ground/platform.h"
#include "ground/utf8_path.h"

namespace kv218 {

namespace fs = std::filesystem;

namespace {

constexpr const char* kConfigFolder = "kv218tool";

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool Exists(const fs::path& file) {
  std::error_code error;
  return fs::exists(file, error);
}

}  // namespace

SettingsEnvironment SystemSettingsEnvironment() {
  return {FolderTakesNewFiles, UserConfigurationHome(), Variable("HOME")};
}

SettingsLocation LocateSettings(const std::string& besidePath, const SettingsEnvironment& env) {
  const fs::path beside = PathFromUtf8(besidePath);
  fs::path folder = beside.parent_path();
  if (folder.empty()) folder = ".";
  if (env.folderWritable(Utf8FromPath(folder))) return SettingsLocation(besidePath);

  fs::path configHome = PathFromUtf8(env.configHome);
  if (!configHome.is_absolute()) {
    if (env.home.empty()) return SettingsLocation(besidePath);  // nowhere else to go
    configHome = PathFromUtf8(env.home) / ".config";
  }
  const fs::path own = configHome / kConfigFolder / beside.filename();
  const bool seed = !Exists(own) && Exists(beside);
  const std::string ownPath = Utf8FromPath(own);
  return SettingsLocation(seed ? besidePath : ownPath, ownPath, true);
}

void PrepareSettingsFolder(const SettingsLocation& location) {
  if (!location.makeFolder) return;
  std::error_code ignored;  // a folder that cannot be made fails the write, which says so
  fs::create_directories(PathFromUtf8(location.writePath).parent_path(), ignored);
}

}  // namespace kv218
