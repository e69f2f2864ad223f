#pragma once
// A Form1 over ports on a test adapter where nothing arrives, with its settings file in a fresh
// folder and the file dialog and the log's save dialog replaced by queues of answers, the machine's
// serial devices by a list the test sets.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "qt_environment.h"
#include "settings/settings.h"
#include "testkit/pluggable_port.h"
#include "ui/qt/form1.h"

namespace kv218::test {

class FormTest : public testing::Test {
 protected:
  void SetUp() override { App(); }
  void TearDown() override { form_.reset(); }

  std::string SettingsPath() const { return dir_.filePath("kv218tool.INI").toStdString(); }
  void WriteSettings(const QByteArray& text) const {
    QFile file(QString::fromStdString(SettingsPath()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }
  Settings Saved() const { return ReadSettings(SettingsPath()); }
  // Each port the form's controller opens.
  virtual std::unique_ptr<PortChannel> MakePort() {
    return std::make_unique<AdapterPort>(adapter_);
  }

  // openFile: as named on the command line.
  TForm1& MakeForm(std::string openFile = {}) {
    FormOptions options;
    options.settingsPath = SettingsPath();
    options.openFile = std::move(openFile);
    options.portFactory = [this] { return MakePort(); };
    options.chooseHexFile = [this]() -> std::optional<std::string> {
      if (choices_.empty()) return std::nullopt;
      auto choice = choices_.front();
      choices_.pop_front();
      return choice;
    };
    options.listSerialDevices = [this] { return devices_; };
    options.chooseLogFile = [this]() -> std::optional<QString> {
      if (logChoices_.empty()) return std::nullopt;
      const QString choice = logChoices_.front();
      logChoices_.pop_front();
      if (choice.isEmpty()) return std::nullopt;
      return choice;
    };
    form_ = std::make_unique<TForm1>(std::move(options));
    return *form_;
  }

  QTemporaryDir dir_;
  Adapter adapter_;  // the ports opened: nothing arrives on them
  std::deque<std::optional<std::string>> choices_;
  std::deque<QString> logChoices_;         // the save dialog's answers; empty: cancelled
  std::vector<SerialDeviceInfo> devices_;  // the serial devices the machine has now
  std::unique_ptr<TForm1> form_;
};

}  // namespace kv218::test
