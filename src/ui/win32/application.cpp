#include "ui/win32/application.h"

#include <commctrl.h>
#include <shobjidl.h>

#include <exception>
#include <string>

namespace kv218 {

void StartApplication() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_BAR_CLASSES;
  InitCommonControlsEx(&controls);
  // The task bar groups the window under the application, whose name (the version
  // resource's FileDescription) is "Firmware Upgrade Application".
  SetCurrentProcessExplicitAppUserModelID(L"KV218.FirmwareUpgradeApplication");
}

void ShowUncaughtError(HWND owner) {
  std::string message;
  try {
    throw;
  } catch (const std::exception& error) {
    message = error.what();
  } catch (...) {
  }
  ShowErrorBox(owner, message);
}

int RunForm(FormOptions options, int showCommand, const std::function<void(TForm1&)>& started) {
  TForm1 form(std::move(options));
  ShowWindow(form.Handle(), showCommand);
  UpdateWindow(form.Handle());
  if (started) started(form);
  const int code = form.loop().Run();
  form.Shutdown();
  return code;
}

}  // namespace kv218
