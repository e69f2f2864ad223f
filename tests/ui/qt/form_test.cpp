// Form1's handlers over a fake port: the settings read at creation and written at close, the
// port selector, the double click on the log, the load command, the no-file warning, and a
// close in the middle of a run.

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>

#include "form_fixture.h"
#include "settings/settings.h"
#include "ui/qt/application.h"

namespace kv218::test {
namespace {

using FormHandlersTest = FormTest;

const std::string kExample = KV218_EXAMPLES_DIR "/tk_series.hex";

TEST_F(FormHandlersTest, CreationReadsTheSettingsAndOpensTheStoredPort) {
  const struct {
    const char* name;
    QByteArray ini;
    bool opens;
    std::string opened;
    QString panel1;
    int com;
    QString comText;
    int type;
  } cases[] = {
      {"no file", "", true, "\\\\.\\COM1", "COM1", 0, "COM1", 0},
      // The selector shows the port opened, a path of its own in full after "COM20".
      {"stored choices", "[COM PORT SETTING]\r\nPORT=/dev/ttyKV\r\n[INDEX]\r\nCOM=4\r\nTYPE=2\r\n",
       true, "/dev/ttyKV", "/dev/ttyKV", 20, "/dev/ttyKV", 2},
      {"indexes outside the items", "[INDEX]\r\nCOM=25\r\nTYPE=-3\r\n", true, "\\\\.\\COM1", "COM1",
       0, "COM1", -1},
      {"port that does not open", "[COM PORT SETTING]\r\nPORT=\\\\.\\COM7\r\n", false,
       "\\\\.\\COM7", "N/A", 6, "COM7", 0},
      {"a COM name", "[COM PORT SETTING]\r\nPORT=com12\r\n[INDEX]\r\nCOM=0\r\n", true, "com12",
       "com12", 11, "COM12", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QFile::remove(QString::fromStdString(SettingsPath()));
    if (!c.ini.isEmpty()) WriteSettings(c.ini);
    adapter_.Forget();
    adapter_.SetOpens(c.opens);
    TForm1& form = MakeForm();
    ASSERT_EQ(adapter_.Opened().size(), 1u);
    EXPECT_EQ(adapter_.Opened().front(), c.opened);
    EXPECT_EQ(form.StatusBar1->PanelText(1), c.panel1);
    EXPECT_EQ(form.ComboBox2->ItemIndex(), c.com);
    EXPECT_EQ(form.ComboBox2->currentText(), c.comText);
    EXPECT_EQ(form.ComboBox1->ItemIndex(), c.type);
    form_.reset();
  }
}

TEST_F(FormHandlersTest, ClosingSavesThePortAndBothSelectors) {
  TForm1& form = MakeForm();
  form.show();
  form.ComboBox2->setCurrentIndex(4);
  emit form.ComboBox2->activated(4);  // the operator picks "COM5"
  form.ComboBox1->SetItemIndex(3);
  EXPECT_EQ(adapter_.Opened().back(), "\\\\.\\COM5");
  EXPECT_EQ(form.StatusBar1->PanelText(1), "COM5");
  EXPECT_TRUE(form.close());
  const Settings saved = Saved();
  EXPECT_EQ(saved.PortPath, "\\\\.\\COM5");
  EXPECT_EQ(saved.Com, 4);
  EXPECT_EQ(saved.Type, 3);
  EXPECT_EQ(saved.PortBaud, 115200);
  EXPECT_EQ(saved.PortParity, "E");
}

// A TYPE that names no type selects none; the type is then never saved as -1 (nor the port
// as COM=-1): the keys stay as the file had them.
TEST_F(FormHandlersTest, ATypeThatNamesNoneSelectsNothingAndIsNotSaved) {
  for (const char* type : {"4", "-1", "Eco"}) {
    SCOPED_TRACE(type);
    WriteSettings(QByteArray("[INDEX]\r\nCOM=20\r\nTYPE=") + type + "\r\n");
    TForm1& form = MakeForm();
    form.show();
    EXPECT_EQ(form.ComboBox1->ItemIndex(), -1);
    EXPECT_EQ(form.StateBand1->State(), BoardState::NotReady);
    EXPECT_TRUE(form.close());
    QFile file(QString::fromStdString(SettingsPath()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains(QByteArray("[INDEX]\r\nCOM=0\r\nTYPE=") + type + "\r\n"));
    form_.reset();
  }
}

// Both selectors are lists: keys pick an item or nothing, never a text of their own (typed
// text used to open "\\.\COM0" and save COM=-1, TYPE=-1).
TEST_F(FormHandlersTest, TheSelectorsCannotBeTypedInto) {
  adapter_.SetOpens(false);
  TForm1& form = MakeForm();
  form.show();
  for (SelectorBox* box : {form.ComboBox1, form.ComboBox2}) {
    SCOPED_TRACE(box->objectName().toStdString());
    EXPECT_FALSE(box->isEditable());
    EXPECT_EQ(box->lineEdit(), nullptr);
    box->setFocus();
    const int before = box->ItemIndex();
    for (const char* keys : {"2", "x", "\\\\.\\"}) QTest::keyClicks(box, keys);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(box, key);
    box->hidePopup();
    EXPECT_EQ(box->ItemIndex(), before);
  }
  EXPECT_EQ(adapter_.Opened(), (std::vector<std::string>{"\\\\.\\COM1"}));
  EXPECT_TRUE(form.close());
  EXPECT_EQ(Saved().Com, 0);
  EXPECT_EQ(Saved().Type, 0);
  EXPECT_EQ(Saved().PortPath, "\\\\.\\COM1");
}

TEST_F(FormHandlersTest, SerialDevicesFollowTheComItemsAndOpenTheirPaths) {
  // /dev/ttyS0 is COM1's device: listed once, as "COM1".
  devices_ = {
      {"/dev/ttyS0", "", "", "", ""},
      {"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI-if00-port0", "FTDI", "FT232R", "0403:6001"}};
  TForm1& form = MakeForm();
  form.show();
  SelectorBox& ports = *form.ComboBox2;
  ASSERT_EQ(ports.count(), 21);
  EXPECT_EQ(ports.itemText(19), "COM20");
  EXPECT_EQ(ports.itemText(20), "/dev/ttyUSB0");
  EXPECT_EQ(ports.itemData(20, Qt::ToolTipRole).toString(),
            "/dev/serial/by-id/usb-FTDI-if00-port0\nFTDI FT232R (0403:6001)");

  ports.setCurrentIndex(20);
  emit ports.activated(20);
  EXPECT_EQ(adapter_.Opened().back(), "/dev/ttyUSB0");
  EXPECT_EQ(form.StatusBar1->PanelText(1), "/dev/ttyUSB0");
  EXPECT_EQ(ports.toolTip(), "/dev/ttyUSB0");  // whole, where the box cuts it short
  ports.setCurrentIndex(3);
  emit ports.activated(3);  // the COM items still open by their index
  EXPECT_EQ(adapter_.Opened().back(), "\\\\.\\COM4");
  ports.setCurrentIndex(20);
  emit ports.activated(20);
  EXPECT_TRUE(form.close());
  EXPECT_EQ(Saved().PortPath, "/dev/ttyUSB0");
  EXPECT_EQ(Saved().Com, 20);
  form_.reset();

  // Started again, the selector shows that port, present or not.
  for (const bool present : {true, false}) {
    if (!present) devices_.pop_back();
    TForm1& again = MakeForm();
    EXPECT_EQ(again.ComboBox2->ItemIndex(), 20);
    EXPECT_EQ(again.ComboBox2->currentText(), "/dev/ttyUSB0");
    form_.reset();
  }
}

TEST_F(FormHandlersTest, DroppingThePortListDownListsTheDevicesAfresh) {
  const SerialDeviceInfo acm{"/dev/ttyACM0", "", "", "", ""};
  const SerialDeviceInfo usb0{"/dev/ttyUSB0", "", "", "", ""};
  const SerialDeviceInfo usb1{"/dev/ttyUSB1", "", "", "", ""};
  const struct {
    const char* name;
    std::vector<SerialDeviceInfo> before;
    int picked;
    std::vector<SerialDeviceInfo> after;
    QStringList items;  // after "COM20"
    int itemIndex;
    QString text;
  } cases[] = {
      // The port in use stays shown, an item of its own.
      {"selected device unplugged",
       {usb0, usb1},
       20,
       {usb1},
       {"/dev/ttyUSB1", "/dev/ttyUSB0"},
       21,
       "/dev/ttyUSB0"},
      {"another device plugged in before it",
       {usb0},
       20,
       {acm, usb0},
       {"/dev/ttyACM0", "/dev/ttyUSB0"},
       21,
       "/dev/ttyUSB0"},
      {"a COM item stays", {usb0}, 4, {}, {}, 4, "COM5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    devices_ = c.before;
    TForm1& form = MakeForm();
    form.show();
    SelectorBox& ports = *form.ComboBox2;
    ports.setCurrentIndex(c.picked);
    emit ports.activated(c.picked);
    const std::size_t opens = adapter_.Opened().size();
    devices_ = c.after;
    ports.showPopup();
    QStringList items;
    for (int i = 20; i < ports.count(); ++i) items.append(ports.itemText(i));
    EXPECT_EQ(items, c.items);
    EXPECT_EQ(ports.ItemIndex(), c.itemIndex);
    EXPECT_EQ(ports.currentText(), c.text);
    EXPECT_EQ(adapter_.Opened().size(), opens);  // listing opens nothing
    ports.hidePopup();
    form_.reset();
  }
}

TEST_F(FormHandlersTest, PickingTheOpenPortAgainReopensIt) {
  TForm1& form = MakeForm();
  emit form.ComboBox2->activated(0);
  EXPECT_EQ(adapter_.Opened(), (std::vector<std::string>{"\\\\.\\COM1", "\\\\.\\COM1"}));
  EXPECT_EQ(form.StatusBar1->PanelText(1), "COM1");
}

TEST_F(FormHandlersTest, DoubleClickOnTheLogAsksForTheNote) {
  TForm1& form = MakeForm();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QTest::mouseDClick(form.Memo1->viewport(), Qt::LeftButton);
  EXPECT_EQ(adapter_.SentBytes(), (std::vector<std::uint8_t>{0x1F, 0x2D}));
  EXPECT_TRUE(form.Memo1->Lines().isEmpty());  // nothing logged, no reply awaited
}

TEST_F(FormHandlersTest, ProgrammingWithoutAFileWarns) {
  TForm1& form = MakeForm();
  form.Memo1->AppendLog("before");
  QStringList expected{"before"};
  for (QPushButton* button : {form.BitBtn2, form.BitBtn3}) {
    SCOPED_TRACE(button->objectName().toStdString());
    QTest::mouseClick(button, Qt::LeftButton);
    expected << ""
             << "<<WARNING>> Please load file first !!";
    EXPECT_EQ(form.Memo1->Lines(), expected);
    EXPECT_TRUE(adapter_.SentBytes().empty());
    EXPECT_TRUE(button->isEnabled());
    EXPECT_FALSE(form.Timer1.isActive());
  }
}

TEST_F(FormHandlersTest, LoadTakesTheChosenFile) {
  TForm1& form = MakeForm();
  choices_ = {std::nullopt, kExample};
  QTest::mouseClick(form.BitBtn1, Qt::LeftButton);  // cancelled: nothing happens
  EXPECT_TRUE(form.Memo1->Lines().isEmpty());
  EXPECT_EQ(form.StatusBar1->PanelText(4), "N/A");

  QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
  const QStringList lines = form.Memo1->Lines();
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], QString::fromStdString(kExample));
  EXPECT_TRUE(lines[2].startsWith("Loading ... OK ( 0x0 - 0x")) << lines[2].toStdString();
  // The panel shows the image checksum, the second figure of the result.
  const QString panel = form.StatusBar1->PanelText(4);
  EXPECT_EQ(panel.size(), 4);
  EXPECT_TRUE(lines[2].contains(" , 0x" + panel + " , 0x")) << lines[2].toStdString();
  EXPECT_EQ(form.CGauge1->Progress(), 100);
}

TEST_F(FormHandlersTest, UnwritableSettingsKeepTheWindowOpenOnce) {
  TForm1& form = MakeForm();
  form.show();
  QFile::remove(QString::fromStdString(SettingsPath()));
  ASSERT_TRUE(QDir(dir_.path()).mkdir("kv218tool.INI"));  // a folder where the file should be
  QString shown;
  QTimer::singleShot(0, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      shown = box->text();
      box->accept();
    }
  });
  EXPECT_FALSE(form.close());
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(shown, QString::fromStdString("Unable to write to " + SettingsPath() +
                                          ": not a regular file"));
  // Told once, the operator can close the window with the next close.
  EXPECT_TRUE(form.close());
  EXPECT_FALSE(form.isVisible());
}

TEST_F(FormHandlersTest, ClosingDuringARunEndsTheApplicationAndSaves) {
  TForm1& form = MakeForm();  // the fake programmer answers only what the test gives it
  form.show();
  choices_ = {KV218_EXAMPLES_DIR "/cradle_set.hex"};  // a file of the type picked below
  QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
  form.ComboBox1->SetItemIndex(2);

  // Under the application's own event loop: the operator starts a run and closes the window
  // once the run has sent its first command and waits for the answer.
  QSignalSpy ticks(&form.Timer1, &QTimer::timeout);
  bool runningWhenAsked = false;
  bool asked = false;
  QObject::connect(form.Memo1->document(), &QTextDocument::contentsChanged, &form, [&] {
    if (asked || !form.Memo1->Lines().join('\n').contains("1. Reading Device ID ...")) return;
    asked = true;
    QTimer::singleShot(0, &form, [&] {
      runningWhenAsked = form.controller().Running();
      // The operator is asked first, and says yes.
      QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
          box->button(QMessageBox::Yes)->click();
        }
      });
      form.close();
      // Only then the identity's answer comes: the run ends once it is in, before any
      // further command.
      QTimer::singleShot(0, &form, [&] {
        const std::uint8_t identity[] = {0x1F, '9', 'R', 'I', 0x24, 0x1C};
        form.controller().OnBurst(identity, sizeof identity);
      });
    });
  });
  QTimer::singleShot(0, form.BitBtn2, &QPushButton::click);
  QTimer guard;  // only against a hang: a run that never ends fails instead
  QObject::connect(&guard, &QTimer::timeout, [] { QApplication::exit(1); });
  guard.start(30000);
  EXPECT_EQ(QApplication::exec(), 0);  // the last window closed: the application ends

  EXPECT_TRUE(runningWhenAsked);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(ticks.count(), 0);  // within the first second, not by the time-out
  EXPECT_FALSE(form.Memo1->Lines().join('\n').contains("TimeOut !!"));
  EXPECT_FALSE(form.Timer1.isActive());
  // The programmer heard the end of the run (EndRun, 1F 'M' 'E') right after the identity
  // was answered, before the port closed.
  const std::vector<std::uint8_t> sent = adapter_.SentBytes();
  ASSERT_GE(sent.size(), 7u);
  EXPECT_EQ(std::vector<std::uint8_t>(sent.end() - 7, sent.end()),
            (std::vector<std::uint8_t>{0x1F, '9', 'R', 'I', 0x1F, 0x4D, 0x45}));
  EXPECT_EQ(Saved().Type, 2);  // the settings were written at the close
}

// Drags what data holds over target and drops it, as the desktop does; whether the drop was
// taken. The events go where the pointer is, and Qt passes them up to a parent that takes them.
bool DragAndDrop(QWidget* target, QMimeData& data) {
  const QPoint at(5, 5);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

bool DropFile(QWidget* target, const QString& path) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(path)});
  return DragAndDrop(target, data);
}

TEST_F(FormHandlersTest, AFileNamedAtStartOrDroppedLoadsAsTheLoadButtonLoadsIt) {
  // Loaded with the type the settings file selects: a file read as another type logs another
  // result.
  WriteSettings("[INDEX]\r\nTYPE=2\r\n");
  const std::string cradle = KV218_EXAMPLES_DIR "/cradle_set.hex";
  choices_ = {cradle};
  QTest::mouseClick(MakeForm().BitBtn1, Qt::LeftButton);
  const QStringList byButton = form_->Memo1->Lines();
  ASSERT_EQ(byButton.size(), 3);
  ASSERT_TRUE(byButton[2].startsWith("Loading ... OK")) << byButton[2].toStdString();
  const QString checksum = form_->StatusBar1->PanelText(4);

  TForm1& named = MakeForm(cradle);
  EXPECT_EQ(named.ComboBox1->ItemIndex(), 2);
  EXPECT_EQ(named.Memo1->Lines(), byButton);
  EXPECT_EQ(named.StatusBar1->PanelText(4), checksum);

  // Dropped on the log or on the window's face, from a folder with a non-ASCII name.
  const QString copy = dir_.filePath("cradle série.hex");
  ASSERT_TRUE(QFile::copy(QString::fromStdString(cradle), copy));
  for (const bool onLog : {true, false}) {
    SCOPED_TRACE(onLog ? "on the log" : "on the window");
    TForm1& form = MakeForm();
    ASSERT_TRUE(form.acceptDrops());
    ASSERT_TRUE(DropFile(onLog ? form.Memo1->viewport() : static_cast<QWidget*>(&form), copy));
    const QStringList lines = form.Memo1->Lines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1], copy);
    EXPECT_EQ(lines[2], byButton[2]);
    EXPECT_EQ(form.controller().station().HexFileName, QFile::encodeName(copy).toStdString());
  }
}

TEST_F(FormHandlersTest, OnlyLocalFilesMayBeDropped) {
  TForm1& form = MakeForm();
  QMimeData text;
  text.setText("/tmp/tk_series.hex");
  QMimeData web;
  web.setUrls({QUrl("https://example.com/tk_series.hex")});
  QMimeData nothing;
  for (QMimeData* data : {&text, &web, &nothing}) {
    EXPECT_FALSE(DragAndDrop(&form, *data));
  }
  EXPECT_TRUE(form.Memo1->Lines().isEmpty());
  EXPECT_TRUE(form.controller().station().HexFileName.empty());
}

TEST_F(FormHandlersTest, ADropDuringARunIsRefusedWithAWarning) {
  TForm1& form = MakeForm();  // the fake programmer never answers
  form.show();
  choices_ = {kExample};
  QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
  const QString other = dir_.filePath("other.hex");
  ASSERT_TRUE(QFile::copy(QString::fromStdString(kExample), other));

  // While the run waits for its first answer, a file is dropped, then the window is closed.
  bool dropped = false;
  QObject::connect(form.Memo1->document(), &QTextDocument::contentsChanged, &form, [&] {
    if (dropped || !form.Memo1->Lines().join('\n').contains("1. Reading Device ID ...")) return;
    dropped = true;
    QTimer::singleShot(0, &form, [&] {
      DropFile(&form, other);
      // The close asks first; the operator says yes.
      QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
          box->button(QMessageBox::Yes)->click();
        }
      });
      form.close();
      // Only then the identity's answer comes: the run ends once it is in, before any
      // further command.
      QTimer::singleShot(0, &form, [&] {
        const std::uint8_t identity[] = {0x1F, '9', 'R', 'I', 0x24, 0x1C};
        form.controller().OnBurst(identity, sizeof identity);
      });
    });
  });
  QTimer::singleShot(0, form.BitBtn2, &QPushButton::click);
  QTimer guard;  // only against a hang
  QObject::connect(&guard, &QTimer::timeout, [] { QApplication::exit(1); });
  guard.start(30000);
  EXPECT_EQ(QApplication::exec(), 0);

  EXPECT_TRUE(dropped);
  EXPECT_EQ(
      form.Memo1->Lines().count("<<WARNING>> A run is in progress; " + other + " was not loaded"),
      1);
  EXPECT_EQ(form.controller().station().HexFileName, kExample);
}

TEST(CommandLineTest, TheFirstArgumentIsTheFileToOpenMadeAbsolute) {
  const std::string here = QFile::encodeName(QDir::currentPath()).toStdString();
  const struct {
    std::vector<std::string> arguments;
    std::string file;
  } cases[] = {
      {{"kv218tool"}, ""},
      {{"kv218tool", ""}, ""},
      {{"kv218tool", "/srv/Prüfplatz/tk series.hex"}, "/srv/Prüfplatz/tk series.hex"},
      {{"kv218tool", "/srv/a.hex", "/srv/b.hex"}, "/srv/a.hex"},
      {{"kv218tool", "tk.hex"}, here + "/tk.hex"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.back());
    std::vector<char*> argv;
    for (const std::string& argument : c.arguments)
      argv.push_back(const_cast<char*>(argument.data()));
    EXPECT_EQ(FileNamedOnCommandLine(static_cast<int>(argv.size()), argv.data()), c.file);
  }
}

}  // namespace
}  // namespace kv218::test
