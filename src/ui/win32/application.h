#pragma once
// The application around the window: common controls, the name the task bar groups it under,
// the standard error display for an error no handler caught, and the run of the window.

#include <windows.h>

#include <functional>
#include <string>

#include "ui/win32/form1.h"

namespace kv218 {

// Once per process, before the first window.
void StartApplication();

// Shows the error being handled (call inside a catch) in the application's standard error
// display; a thrown object that is not an error of ours shows an empty message.
void ShowUncaughtError(HWND owner);

// The file named first on a command line as GetCommandLineW gives it (the program's own path
// first), made absolute against the current folder, in UTF-8; empty when none is named.
std::string FileNamedOnCommandLine(const wchar_t* commandLine);

// Creates Form1, shows it, calls started (if any) and handles messages until the window has
// closed; returns the exit code.
int RunForm(FormOptions options, int showCommand, const std::function<void(TForm1&)>& started = {});

}  // namespace kv218
