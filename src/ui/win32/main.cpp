// kv218tool: the window. Reads kv218tool.INI when the window is created and writes it when the
// window closes: beside the executable, or for an installed copy (a folder only the
// administrator may write) in %APPDATA%\kv218tool\. A file named on the command line (the
// shell's "Open with") is loaded at once.

#include <windows.h>

#include "settings/settings.h"
#include "settings/settings_location.h"
#include "ui/win32/application.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
  kv218::StartApplication();
  try {
    kv218::FormOptions options;
    options.settingsPath = kv218::LocateSettings(
        kv218::SettingsPathFor(kv218::RunningExecutablePath()), kv218::SystemSettingsEnvironment());
    options.openFile = kv218::FileNamedOnCommandLine(GetCommandLineW());
    return kv218::RunForm(std::move(options), showCommand);
  } catch (...) {
    kv218::ShowUncaughtError(nullptr);
  }
  return 0;
}
