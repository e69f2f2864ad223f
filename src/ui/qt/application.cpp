#include "ui/qt/application.h"

#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <exception>

namespace kv218 {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  // The desktop names the application by its name, which is also the class part of the X11
  // window class (the instance part is the executable's name). No display name is set: Qt would
  // append it to every window's title, and the window's caption stands alone.
  setApplicationName(kApplicationTitle);
  setDesktopFileName(kDesktopFileName);  // Wayland's app id: the desktop entry
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ShowUncaughtError();
    return false;
  }
}

std::string FileNamedOnCommandLine(int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '\0') return {};
  // As the file dialog would give it: the log names the file, and a run reloads it by name.
  return QFile::encodeName(QFileInfo(QFile::decodeName(argv[1])).absoluteFilePath()).toStdString();
}

void ShowUncaughtError() {
  QString message;
  try {
    throw;
  } catch (const std::exception& error) {
    message = QString::fromLocal8Bit(error.what());
  } catch (...) {
  }
  QMessageBox::critical(nullptr, kApplicationTitle, message);
}

}  // namespace kv218
