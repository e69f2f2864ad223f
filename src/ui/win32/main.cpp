// kv218tool: the window. Reads kv218tool.INI beside the executable when the window is created
// and writes it when the window closes.

#include <windows.h>

#include "settings/settings.h"
#include "ui/win32/application.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
  kv218::StartApplication();
  try {
    kv218::FormOptions options;
    options.settingsPath = kv218::SettingsPathFor(kv218::RunningExecutablePath());
    return kv218::RunForm(std::move(options), showCommand);
  } catch (...) {
    kv218::ShowUncaughtError(nullptr);
  }
  return 0;
}
