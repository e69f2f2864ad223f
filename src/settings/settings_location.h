#pragma once
// Where the settings file lives. Beside the executable whenever its folder is writable (a copy
// unpacked anywhere, the build tree); an installed copy, whose folder only the administrator
// may write, keeps the user's settings in the user's configuration folder instead
// ($XDG_CONFIG_HOME/kv218tool/, by default ~/.config/kv218tool/; %APPDATA%\kv218tool\ on
// Windows) and, until that file exists,
// reads the one beside the executable.

#include <functional>
#include <string>

namespace kv218 {

struct SettingsLocation {
  // One file, read at start and written at close.
  SettingsLocation(std::string path) : readPath(path), writePath(std::move(path)) {}  // NOLINT
  SettingsLocation(const char* path) : SettingsLocation(std::string(path)) {}         // NOLINT
  SettingsLocation(std::string read, std::string write, bool createFolder)
      : readPath(std::move(read)), writePath(std::move(write)), makeFolder(createFolder) {}

  std::string readPath;
  std::string writePath;
  bool makeFolder = false;  // the write creates the file's folder first
};

// What the choice depends on, injectable for tests.
struct SettingsEnvironment {
  std::function<bool(const std::string& folder)> folderWritable;
  std::string configHome;  // $XDG_CONFIG_HOME, %APPDATA% on Windows (only an absolute path counts)
  std::string home;        // $HOME
};

// The running process's environment; a folder is writable when a file can be created in it.
SettingsEnvironment SystemSettingsEnvironment();

// besidePath: the settings file beside the executable (SettingsPathFor).
SettingsLocation LocateSettings(const std::string& besidePath, const SettingsEnvironment& env);

// Creates the folder that location.writePath needs, when the location asks for it.
void PrepareSettingsFolder(const SettingsLocation& location);

}  // namespace kv218
