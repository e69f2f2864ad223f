#pragma once
// The application object: titles, and the standard error display for an error that no handler
// caught (shown, then the application goes on).

#include <QApplication>
#include <string>

namespace kv218 {

// The application's title, where a desktop names the application rather than a window (task
// bar, window class, the desktop entry) and on the error display.
inline constexpr const char* kApplicationTitle = "Firmware Upgrade Application";
// The desktop entry's file name without ".desktop".
inline constexpr const char* kDesktopFileName = "kv218tool";

class Application : public QApplication {
 public:
  Application(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// The file named first on the command line (arguments as QApplication leaves them, the
// program first), made absolute, as the system names it; empty when none is named.
std::string FileNamedOnCommandLine(int argc, char** argv);

// The application's standard error display: a message box titled with the application title.
// A thrown object that is not an error of ours shows an empty message.
void ShowUncaughtError();

}  // namespace kv218
