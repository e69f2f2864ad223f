#pragma once
// Form1, the one window: its controls at their design places, and its event handlers, which
// hand over to the controller.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/controller.h"
#include "port/port_list.h"
#include "ui/win32/fonts.h"
#include "ui/win32/log_pane.h"
#include "ui/win32/picture_button.h"
#include "ui/win32/selector_box.h"
#include "ui/win32/status_bar.h"
#include "ui/win32/stop_question.h"
#include "ui/win32/win32_message_loop.h"
#include "ui/win32/win32_window_ops.h"

namespace kv218 {

class TForm1;

struct FormOptions {
  SettingsLocation settingsPath{""};  // the settings file read at creation and written at close
  // Makes each port the controller opens; empty: the platform's serial port.
  std::function<std::unique_ptr<PortChannel>(TForm1&)> makePort;
  HexFileChooser chooseHexFile;  // empty: the file-open dialog
  LogFileChooser chooseLogFile;  // empty: the save dialog
  // The serial devices offered after "COM1".."COM20"; empty: those of the machine.
  std::function<std::vector<SerialDeviceInfo>()> listSerialDevices;
  // A file named when the program starts, loaded once the window is made; empty: none.
  std::string openFile;
};

class TForm1 {
 public:
  static constexpr wchar_t kCaption[] = L"KV-218  tool  v1.85.11";
  // Posted to the window when it is told to end from outside (the console closing): handled
  // as the session's end.
  static constexpr UINT kEndSessionMessage = WM_APP + 20;

  // Creates the window (not yet shown), its controls and the controller, then FormCreate.
  explicit TForm1(FormOptions options);
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  HWND Handle() const { return window_; }
  // The dots per inch the window is laid out for (96 at 100 %).
  int Dpi() const { return dpi_; }
  Controller& controller() { return *controller_; }
  Win32MessageLoop& loop() { return loop_; }
  WindowOps& ops() { return ops_; }

  // Releases a receive thread blocked in a hand-over; called once the window has closed.
  void Shutdown() { loop_.Shutdown(); }

  // "Save Log..." from the log's context menu: the lines as shown into a text file.
  void Memo1SaveLog();

  // The close question while a run goes on (tests wait for its box).
  StopQuestion& stopQuestion() { return stopQuestion_; }

  // The controls, named as designed.
  LogPane& Memo1() { return *memo1_; }
  PictureButton& BitBtn1() { return *bitBtn1_; }
  PictureButton& BitBtn2() { return *bitBtn2_; }
  PictureButton& BitBtn3() { return *bitBtn3_; }
  SelectorBox& ComboBox1() { return *comboBox1_; }
  SelectorBox& ComboBox2() { return *comboBox2_; }
  StatusBar& StatusBar1() { return *statusBar1_; }

  // Paints the board state (Win32WindowOps::ShowState): the band above the selectors, the
  // log's ground and the gauge; keeps the port selector on the port the controller has open.
  void ShowState(const StateShown& shown);
  // The state as the band shows it now.
  const StateShown& ShownState() const { return shown_; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void BuildControls();
  void FormCreate();
  void OnCommand(int id, WORD code);
  // The port selector's items after "COM20": the serial devices present now and the port in
  // use; the port in use selected.
  void ListSerialDeviceItems();
  // Selects the item of the port in use, listing the items afresh when none shows it.
  void FollowPortInUse();
  // F5 or the keypad's Enter pressed anywhere in the window: PC -> Target when the window is
  // ready; true for those keys, which go no further.
  bool OnKey(const MSG& message);
  void PaintStateBand(HDC dc);
  // Places, fonts and pictures for the screen's dots per inch (96: the design's 100 %).
  void ApplyDpi(int dpi);
  void ComboBox2Change(int itemIndex);
  // Files dropped on the window (WM_DROPFILES): the first is loaded.
  void FormDropFiles(HDROP drop);
  // FormClose: a close asked for during a run asks the operator first, then lets the run
  // unwind.
  void OnClose();
  // The window is told to end (the session's end, the console closing): a run in progress
  // stops as the close question's yes stops it, then the window closes as a close does.
  void EndSession();
  // WM_QUERYENDSESSION: a run in progress is asked to end, and the session waits for it (the
  // system names the reason); without a run the session may end at once.
  bool QueryEndSession();
  void OnPaint();
  // Runs a button's handler; a close asked for while it ran is carried out afterwards.
  template <typename Handler>
  void RunButton(Handler handler);

  HWND window_ = nullptr;
  Win32WindowOps ops_;
  Win32MessageLoop loop_;
  Font font_;
  std::unique_ptr<LogPane> memo1_;
  std::unique_ptr<PictureButton> bitBtn1_;
  std::unique_ptr<PictureButton> bitBtn2_;
  std::unique_ptr<PictureButton> bitBtn3_;
  std::unique_ptr<SelectorBox> comboBox1_;
  std::unique_ptr<SelectorBox> comboBox2_;
  std::unique_ptr<StatusBar> statusBar1_;
  std::unique_ptr<Controller> controller_;
  std::function<std::vector<SerialDeviceInfo>()> listSerialDevices_;
  LogFileChooser chooseLogFile_;
  bool closePending_ = false;
  StopQuestion stopQuestion_;
  StateShown shown_;
  int dpi_ = 96;
  Font bandWordFont_;
  Font bandDetailFont_;
};

}  // namespace kv218
