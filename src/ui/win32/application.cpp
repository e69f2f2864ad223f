#include "ui/win32/application.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <exception>
#include <string>

#include "ground/utf8.h"
#include "ui/win32/console_end.h"
#include "ui/win32/wide_text.h"

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

std::string FileNamedOnCommandLine(const wchar_t* commandLine) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(commandLine, &count);
  if (arguments == nullptr) return {};
  std::wstring named = count > 1 ? arguments[1] : L"";
  LocalFree(arguments);
  if (named.empty()) return {};
  // As the file dialog would give it: the log names the file, and a run reloads it by name.
  const DWORD size = GetFullPathNameW(named.c_str(), 0, nullptr, nullptr);
  if (size > 0) {
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(named.c_str(), size, full.data(), nullptr);
    if (length > 0 && length < size) named.assign(full.data(), length);
  }
  return Utf8FromWide(named);
}

int RunForm(FormOptions options, int showCommand, const std::function<void(TForm1&)>& started) {
  TForm1 form(std::move(options));
  ShowWindow(form.Handle(), showCommand);
  UpdateWindow(form.Handle());
  if (started) started(form);
  int code = 0;
  {
    const ConsoleEnd consoleEnd(form.Handle());
    code = form.loop().Run();
  }
  form.Shutdown();
  return code;
}

}  // namespace kv218
