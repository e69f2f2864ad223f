#include "ui/qt/application.h"

#include <QMessageBox>
#include <exception>

namespace kv218 {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("kv218tool");
  setApplicationDisplayName(kApplicationTitle);  // the title the task bar shows
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ShowUncaughtError();
    return false;
  }
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
