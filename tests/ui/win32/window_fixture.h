#pragma once
// Form1 over the in-process simulated programmer: the window's own controls, message loop and
// controller, with the programmer answering every frame at once. The file dialog answers
// with choice_, the save dialog with logChoice_; the machine's serial devices are devices_.
// Every frame the programmer receives is noted in frames_, every port made in portsMade_.

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ground/utf8_path.h"
#include "settings/settings.h"
#include "sim/device_model.h"
#include "sim/in_process_port.h"
#include "testkit/temp_folder.h"
#include "ui/win32/application.h"
#include "ui/win32/form_layout.h"

namespace kv218::test {

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { StartApplication(); }

  void SetUp() override {
    model_.SetFrameObserver([this](const sim::Frame& frame) {
      frames_.push_back(frame.command);
      if (onFrame_) onFrame_(frame);
    });
    Settings settings;
    settings.PortPath = "\\\\.\\COM3";
    settings.Com = 2;
    ASSERT_FALSE(WriteSettings(SettingsPath(), settings).has_value());
    MakeForm();
  }
  void TearDown() override { form_.reset(); }

  // A new window (in place of the one there is) from the settings file, shown; openFile as
  // named on the command line.
  void MakeForm(std::string openFile = {}) {
    form_.reset();
    FormOptions options;
    options.settingsPath = SettingsPath();
    options.openFile = std::move(openFile);
    options.makePort = [this](TForm1& form) {
      ++portsMade_;
      auto port = std::make_unique<sim::InProcessPort>(model_, form.loop());
      port->SetOpenFails(!portOpens_);
      Controller* controller = &form.controller();
      port->SetReceiver([controller](const std::uint8_t* data, std::size_t count) {
        controller->OnBurst(data, count);
      });
      return port;
    };
    options.chooseHexFile = [this] { return choice_; };
    options.chooseLogFile = [this] { return logChoice_; };
    options.listSerialDevices = [this] { return devices_; };
    form_ = std::make_unique<TForm1>(std::move(options));
    ShowWindow(form_->Handle(), SW_SHOWNOACTIVATE);
    form_->loop().PumpMessages();
  }

  std::string SettingsPath() const { return Utf8FromPath(folder_ / "kv218tool.INI"); }
  std::vector<std::string> Lines() const { return form_->Memo1().Lines(); }
  // Clicks a button as the operator does; returns when its handler has returned.
  void Click(PictureButton& button, int id) {
    SendMessageW(form_->Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button.Handle()));
  }
  void Load(const std::string& path) {
    choice_ = path;
    Click(form_->BitBtn1(), layout::kIdBitBtn1);
  }

  const testing::TempFolder temp_{"kv218-window"};
  const std::filesystem::path& folder_ = temp_.path();
  sim::DeviceModel model_;
  std::vector<sim::Command> frames_;
  std::function<void(const sim::Frame&)> onFrame_;
  std::optional<std::string> choice_;
  std::optional<std::string> logChoice_;
  std::vector<SerialDeviceInfo> devices_;
  int portsMade_ = 0;
  bool portOpens_ = true;
  std::unique_ptr<TForm1> form_;
};

}  // namespace kv218::test
