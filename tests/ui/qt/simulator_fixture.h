#pragma once
// Form1 over the real path: the POSIX port, the receive thread and a pseudo-terminal with the
// simulated programmer (in this process) on its other end; the settings file points the
// window at the simulator's slave end.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>
#include <string>

#include "qt_environment.h"
#include "settings/settings.h"
#include "sim/device_model.h"
#include "sim/pty_server.h"
#include "ui/qt/form1.h"

namespace kv218::test {

class SimulatorTest : public testing::Test {
 protected:
  void SetUp() override {
    App();
    sim::DeviceOptions device;
    device.eraseTime = std::chrono::milliseconds(50);
    device.programTime = std::chrono::milliseconds(1);
    model_ = std::make_unique<sim::DeviceModel>(device);
    sim::LineOptions line;
    line.unpaced = true;  // bursts leave at once; the gaps between them are kept
    server_ = std::make_unique<sim::PtyServer>(*model_, line);
    std::string error;
    ASSERT_TRUE(server_->Start(error)) << error;

    Settings settings;
    settings.PortPath = server_->SlavePath();
    ASSERT_FALSE(WriteSettings(SettingsPath(), settings).has_value());

    FormOptions options;
    options.settingsPath = SettingsPath();  // the platform's serial port by default
    options.chooseHexFile = [this] { return choice_; };
    form_ = std::make_unique<TForm1>(std::move(options));
    form_->show();
  }
  void TearDown() override {
    form_.reset();
    server_->Stop();
  }

  std::string SettingsPath() const { return dir_.filePath("kv218tool.INI").toStdString(); }
  QStringList Lines() const { return form_->Memo1->Lines(); }
  // Handles messages until the log has a line starting with text (or the guard runs out).
  bool WaitForLine(const QString& text, int afterLine = 0) {
    return QTest::qWaitFor(
        [&] {
          const QStringList lines = Lines();
          for (int i = afterLine; i < lines.size(); ++i) {
            if (lines[i].startsWith(text)) return true;
          }
          return false;
        },
        20000);
  }

  QTemporaryDir dir_;
  std::unique_ptr<sim::DeviceModel> model_;
  std::unique_ptr<sim::PtyServer> server_;
  std::optional<std::string> choice_;
  std::unique_ptr<TForm1> form_;
};

}  // namespace kv218::test
