#pragma once
// Form1, the one window: its controls at their design places, and its event handlers, which
// hand over to the controller.

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/controller.h"
#include "port/port_list.h"
#include "ui/qt/gauge.h"
#include "ui/qt/log_pane.h"
#include "ui/qt/qt_message_loop.h"
#include "ui/qt/qt_window_ops.h"
#include "ui/qt/selector_box.h"
#include "ui/qt/state_band.h"
#include "ui/qt/status_bar.h"

class QLabel;

namespace kv218 {

// The save dialog of "Save Log...": the chosen path, nothing when cancelled.
using LogFileChooser = std::function<std::optional<QString>()>;

struct FormOptions {
  SettingsLocation settingsPath{""};    // the settings file read at creation and written at close
  Controller::PortFactory portFactory;  // empty: the platform's serial port
  HexFileChooser chooseHexFile;         // empty: the file-open dialog
  LogFileChooser chooseLogFile;         // empty: the save dialog
  // The serial devices offered after "COM1".."COM20"; empty: those of the machine.
  std::function<std::vector<SerialDeviceInfo>()> listSerialDevices;
  // A file named when the program starts, loaded once the window is made; empty: none.
  std::string openFile;
};

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  explicit TForm1(FormOptions options, QWidget* parent = nullptr);
  ~TForm1() override;

  Controller& controller() { return *controller_; }
  QtMessageLoop& loop() { return loop_; }

  // Releases a receive thread blocked in a hand-over; called once the window has closed.
  void Shutdown();

  // The close question while it is open during a run (null otherwise).
  QMessageBox* StopQuestion() const { return stopQuestion_; }

  // The controls, named as designed. The widgets are children of the form.
  StatusBar* StatusBar1;
  LogPane* Memo1;
  Gauge* CGauge1;
  QPushButton* BitBtn1;
  QPushButton* BitBtn2;
  QPushButton* BitBtn3;
  QTimer Timer1;
  SelectorBox* ComboBox1;
  SelectorBox* ComboBox2;
  QLabel* Image1;
  // The board state over a large area: the band above the selectors and the log's ground.
  StateBand* StateBand1;

  // Paints the board state (QtWindowOps::ShowState), and keeps the port selector on the port
  // the controller has open.
  void ShowState(const StateShown& shown);

 public slots:
  void FormCreate();
  void StatusBar1DrawPanel(int panel, const QRect& rect);
  void BitBtn1Click();
  void BitBtn2Click();
  void BitBtn3Click();
  void Timer1Timer();
  void Memo1DblClick();
  // "Save Log..." from the log's context menu: the lines as shown into a text file.
  void Memo1SaveLog();
  // "Verify Target" and "Verify KV-218" from the log's context menu: the file checked against
  // the target or the programmer's stored image, reading only; handled like the buttons.
  void Memo1VerifyTarget();
  void Memo1VerifyKv218();
  void ComboBox2Change(int itemIndex);
  // The type selector changed: panel 4 shows no checksum of another layout.
  void ComboBox1Change();
  // The window is told to end (a signal, the session's end): a run in progress stops as the
  // close question's yes stops it (the programmer told, a store's erase counted), then the
  // window closes and saves the settings as a close does.
  void EndSession();
  // F5 or the keypad's Enter, wherever the focus is: PC -> Target when the window is ready.
  void StartKeyPressed();

 protected:
  // FormClose: a close asked for during a run asks the operator first, then lets the run
  // unwind.
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  // A local file dragged over the window may be dropped; the first one dropped is loaded.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildControls();
  // The port selector's items after "COM20": the serial devices present now and the port in
  // use; the port in use selected.
  void ListSerialDeviceItems();
  // Selects the item of the port in use, listing the items afresh when none shows it.
  void FollowPortInUse();
  // Runs a button's handler; a close asked for while it ran is carried out afterwards.
  template <typename Handler>
  void RunButton(Handler handler);
  // The close question during a run, window-modal and not waited for: the run's waits go on
  // handling its bursts and ticks while it is open, so the programmer hears the same frames
  // and the time-out counts only its silence. Yes asks the run to end; No does nothing.
  void AskToStopRun();
  // The run ended before the question was answered: it goes, and nothing else happens.
  void DismissStopQuestion();

  QtWindowOps ops_;
  QtMessageLoop loop_;
  std::unique_ptr<Controller> controller_;
  std::function<std::vector<SerialDeviceInfo>()> listSerialDevices_;
  LogFileChooser chooseLogFile_;
  bool closePending_ = false;
  QPointer<QMessageBox> stopQuestion_;
};

}  // namespace kv218
