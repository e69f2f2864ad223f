#include "app/settings_location.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <system_error>

namespace kv218 {

namespace fs = std::filesystem;

namespace {

constexpr const char* kConfigFolder = "kv218tool";

bool CanCreateFileIn(const std::string& folder) {
  // A probe file rather than the permission bits: it also tells a read-only mount, and what
  // an administrator's access rules allow.
  const fs::path probe =
      fs::path(folder) / (".kv218tool-probe-" + std::to_string(std::random_device{}()));
  std::FILE* file = std::fopen(probe.string().c_str(), "wx");
  if (!file) return false;
  std::fclose(file);
  std::error_code ignored;
  fs::remove(probe, ignored);
  return true;
}

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
  return {CanCreateFileIn, Variable("XDG_CONFIG_HOME"), Variable("HOME")};
}

SettingsLocation LocateSettings(const std::string& besidePath, const SettingsEnvironment& env) {
  const fs::path beside(besidePath);
  fs::path folder = beside.parent_path();
  if (folder.empty()) folder = ".";
  if (env.folderWritable(folder.string())) return SettingsLocation(besidePath);

  fs::path configHome(env.configHome);
  if (!configHome.is_absolute()) {
    if (env.home.empty()) return SettingsLocation(besidePath);  // nowhere else to go
    configHome = fs::path(env.home) / ".config";
  }
  const fs::path own = configHome / kConfigFolder / beside.filename();
  const bool seed = !Exists(own) && Exists(beside);
  return SettingsLocation(seed ? besidePath : own.string(), own.string(), true);
}

void PrepareSettingsFolder(const SettingsLocation& location) {
  if (!location.makeFolder) return;
  std::error_code ignored;  // a folder that cannot be made fails the write, which says so
  fs::create_directories(fs::path(location.writePath).parent_path(), ignored);
}

}  // namespace kv218
