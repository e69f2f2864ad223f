// kv218tool-screenshot: draws the window as it looks after a successful type-0 target run
// against the simulated programmer and saves it as a PNG (docs/screenshot.png).
//   kv218tool-screenshot OUTPUT.png
// Run it under a display (xvfb-run) or with QT_QPA_PLATFORM=offscreen.

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <string>

#include "settings/settings.h"
#include "sim/device_model.h"
#include "sim/pty_server.h"
#include "ui/qt/application.h"
#include "ui/qt/form1.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  kv218::Application app(argc, argv);

  kv218::sim::DeviceOptions device;
  device.eraseTime = std::chrono::milliseconds(200);
  kv218::sim::DeviceModel model(device);
  QTemporaryDir dir;
  kv218::sim::LineOptions line;
  line.linkPath = dir.filePath("ttyKV218").toStdString();  // as kv218-sim --link makes it
  kv218::sim::PtyServer server(model, line);
  std::string error;
  if (!server.Start(error)) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return 1;
  }

  const std::string settingsPath = dir.filePath("kv218tool.INI").toStdString();
  kv218::Settings settings;
  settings.PortPath = line.linkPath;
  if (kv218::WriteSettings(settingsPath, settings)) return 1;

  kv218::FormOptions options;
  options.settingsPath = settingsPath;
  options.chooseHexFile = [] {
    return std::optional<std::string>(KV218_EXAMPLES_DIR "/tk_series.hex");
  };
  {
    kv218::TForm1 form(std::move(options));
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) return 1;
    form.BitBtn1->click();
    form.BitBtn2->click();  // returns when the run is over
    form.Memo1->setFocus();
    QApplication::processEvents();
    const bool saved = form.grab().save(QString::fromLocal8Bit(argv[1]));
    const QStringList lines = form.Memo1->Lines();
    std::printf("%s\n", qPrintable(lines.join('\n')));
    form.Shutdown();
    if (!saved || lines.isEmpty() || !lines.back().startsWith("PROGRAMMING SUCCEEDED. (")) {
      std::fprintf(stderr, "no successful run to show\n");
      return 1;
    }
  }
  server.Stop();
  return 0;
}
