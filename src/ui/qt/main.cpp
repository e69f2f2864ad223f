// kv218tool: the window. Reads kv218tool.INI when the window is created and writes it when the
// window closes: beside the executable, or for an installed copy in the user's configuration
// folder. A file named on the command line (the desktop's "Open With") is loaded at once.
// SIGTERM, SIGHUP and SIGINT end it as a close does, a run in progress first stopped cleanly.

#include "settings/settings.h"
#include "settings/settings_location.h"
#include "ui/qt/application.h"
#include "ui/qt/end_signals.h"
#include "ui/qt/form1.h"

int main(int argc, char** argv) {
  // Before Qt starts a thread: every thread inherits the mask, and only the window reads them.
  kv218::EndSignals::BlockInThisThread();
  kv218::Application app(argc, argv);
  try {
    kv218::FormOptions options;
    options.settingsPath = kv218::LocateSettings(
        kv218::SettingsPathFor(kv218::RunningExecutablePath()), kv218::SystemSettingsEnvironment());
    options.openFile = kv218::FileNamedOnCommandLine(argc, argv);  // Qt's own options taken out
    kv218::TForm1 form(std::move(options));
    kv218::EndSignals endSignals;
    QObject::connect(&endSignals, &kv218::EndSignals::Received, &form, &kv218::TForm1::EndSession);
    form.show();
    kv218::Application::exec();
    form.Shutdown();
  } catch (...) {
    kv218::ShowUncaughtError();
  }
  return 0;
}
