#include "ui/qt/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QSaveFile>
#include <QShortcut>
#include <QUrl>

#include "app/port_choices.h"
#include "ui/common/form_layout.h"
#include "ui/common/state_look.h"
#include "ui/qt/application.h"
#include "ui/qt/fonts.h"
#include "ui/qt/pictures.h"

namespace kv218 {

namespace {

void Place(QWidget* widget, const layout::Box& box) {
  widget->setGeometry(box.left, box.top, box.width, box.height);
}

QPushButton* PictureButton(QWidget* parent, const char* name, const QImage& picture) {
  auto* button = new QPushButton(parent);
  button->setObjectName(name);
  button->setIcon(QIcon(QPixmap::fromImage(picture)));
  button->setIconSize(picture.size());
  button->setFocusPolicy(Qt::StrongFocus);
  return button;
}

// The first local file among what is dragged (as the system names it); empty when none.
std::string FirstLocalFile(const QMimeData* data) {
  if (data == nullptr) return {};
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return QFile::encodeName(url.toLocalFile()).toStdString();
  }
  return {};
}

}  // namespace

TForm1::TForm1(FormOptions options, QWidget* parent)
    : QWidget(parent),
      ops_(*this, std::move(options.chooseHexFile)),
      loop_(Timer1),
      listSerialDevices_(std::move(options.listSerialDevices)),
      chooseLogFile_(std::move(options.chooseLogFile)) {
  if (!listSerialDevices_) listSerialDevices_ = [] { return ListSerialDevices(); };
  BuildControls();
  controller_ = std::make_unique<Controller>(ops_, loop_, std::move(options.settingsPath),
                                             std::move(options.portFactory));
  loop_.SetTickHandler([this] { Timer1Timer(); });
  FormCreate();
  if (!options.openFile.empty()) controller_->LoadFileNamed(options.openFile);
}

TForm1::~TForm1() {
  Shutdown();
  controller_.reset();  // stops and joins the receive thread while the widgets still exist
}

void TForm1::Shutdown() { loop_.Shutdown(); }

void TForm1::BuildControls() {
  setObjectName("Form1");
  setWindowTitle("KV-218  tool  v1.85.11");
  setFont(FormFont());
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);  // the button face
  setAcceptDrops(true);                 // a HEX file dropped on the window loads
  resize(layout::kClientWidth, layout::kClientHeight);

  // A picture, not a window: drawn first so that the port selector covers its empty part.
  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setPixmap(QPixmap::fromImage(SerialPlugIcon()));
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Place(Image1, layout::kImage1);

  BitBtn1 = PictureButton(this, "BitBtn1", LoadFilePicture());
  Place(BitBtn1, layout::kBitBtn1);
  BitBtn2 = PictureButton(this, "BitBtn2", PcToTargetPicture());
  Place(BitBtn2, layout::kBitBtn2);
  BitBtn3 = PictureButton(this, "BitBtn3", PcToKv218Picture());
  Place(BitBtn3, layout::kBitBtn3);
  BitBtn1->setAccessibleName("Load File");
  BitBtn2->setAccessibleName("PC to Target");
  BitBtn3->setAccessibleName("PC to KV-218");

  ComboBox2 = new SelectorBox(this);
  ComboBox2->setObjectName("ComboBox2");
  for (int port = 1; port <= layout::kComItems; ++port) {
    ComboBox2->addItem(QString("COM%1").arg(port));
  }
  ComboBox2->SetItemIndex(0);
  Place(ComboBox2, layout::kComboBox2);

  ComboBox1 = new SelectorBox(this);
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->addItems({"TK Series", "MVRx Series", "Cradle Set", "Eco Mode"});
  ComboBox1->SetItemIndex(0);
  Place(ComboBox1, layout::kComboBox1);

  Memo1 = new LogPane(this);
  Memo1->setObjectName("Memo1");
  Place(Memo1, layout::kMemo1);

  StateBand1 = new StateBand(this);
  StateBand1->setObjectName("StateBand1");
  Place(StateBand1, layout::kStateBand);

  StatusBar1 = new StatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  const auto& widths = layout::kPanelWidths;
  StatusBar1->AddPanel(widths[0], "PORT");
  StatusBar1->AddPanel(widths[1], "N/A");
  StatusBar1->AddPanel(widths[2], "processbar", true);
  StatusBar1->AddPanel(widths[3], "checksum");
  StatusBar1->AddPanel(widths[4], "N/A");
  StatusBar1->setGeometry(0, layout::kClientHeight - StatusBar::kHeight, layout::kClientWidth,
                          StatusBar::kHeight);

  CGauge1 = new Gauge(StatusBar1);
  CGauge1->setObjectName("CGauge1");
  CGauge1->hide();  // until the bar first lays out its panel 2

  Timer1.setObjectName("Timer1");

  setTabOrder(Memo1, BitBtn1);
  setTabOrder(BitBtn1, BitBtn2);
  setTabOrder(BitBtn2, BitBtn3);
  setTabOrder(BitBtn3, ComboBox1);
  setTabOrder(ComboBox1, ComboBox2);
  Memo1->setFocus();

  connect(StatusBar1, &StatusBar::DrawPanel, this, &TForm1::StatusBar1DrawPanel);
  connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &TForm1::BitBtn2Click);
  connect(BitBtn3, &QPushButton::clicked, this, &TForm1::BitBtn3Click);
  connect(Memo1, &LogPane::DoubleClicked, this, &TForm1::Memo1DblClick);
  connect(Memo1, &LogPane::SaveLogRequested, this, &TForm1::Memo1SaveLog);
  connect(Memo1, &LogPane::VerifyTargetRequested, this, &TForm1::Memo1VerifyTarget);
  connect(Memo1, &LogPane::VerifyProgrammerRequested, this, &TForm1::Memo1VerifyKv218);
  connect(ComboBox2, &SelectorBox::Changed, this, &TForm1::ComboBox2Change);
  connect(ComboBox1, &SelectorBox::Changed, this, &TForm1::ComboBox1Change);
  // A device unplugged since the list was last made is not offered.
  connect(ComboBox2, &SelectorBox::PopupAboutToShow, this, &TForm1::ListSerialDeviceItems);

  // The start keys act wherever the focus is in the window; a foot pedal sends one of them.
  for (const QKeySequence& key :
       {QKeySequence(Qt::Key_F5), QKeySequence(Qt::KeypadModifier | Qt::Key_Enter)}) {
    auto* shortcut = new QShortcut(key, this);
    shortcut->setContext(Qt::WindowShortcut);
    shortcut->setAutoRepeat(false);
    connect(shortcut, &QShortcut::activated, this, &TForm1::StartKeyPressed);
  }
}

void TForm1::ListSerialDeviceItems() {
  if (!controller_) return;
  const std::vector<PortChoice> choices =
      PortChoicesAfterComItems(listSerialDevices_(), controller_->PortPath());
  std::vector<SelectorBox::Item> items;
  for (const PortChoice& choice : choices) {
    const QString path = QFile::decodeName(QByteArray::fromStdString(choice.path));
    items.push_back({path, path, QString::fromLocal8Bit(choice.details)});
  }
  ComboBox2->ReplaceItemsFrom(layout::kComItems, items);
  ComboBox2->SetItemIndex(PortItemIndex(choices, controller_->PortPath()));
}

void TForm1::FollowPortInUse() {
  const std::string& path = controller_->PortPath();
  int shown = ComItemOf(path);
  if (shown < 0) {
    shown = ComboBox2->findData(QFile::decodeName(QByteArray::fromStdString(path)));
    if (shown < layout::kComItems) shown = -1;
  }
  if (shown < 0) {
    ListSerialDeviceItems();
  } else if (shown != ComboBox2->ItemIndex()) {
    ComboBox2->SetItemIndex(shown);
  }
}

void TForm1::ShowState(const StateShown& shown) {
  StateBand1->Show(shown);
  const look::Rgb ground = look::LogGroundOf(shown.state);
  QPalette palette = Memo1->palette();
  palette.setColor(QPalette::Base, QColor(ground.red, ground.green, ground.blue));
  Memo1->setPalette(palette);
  CGauge1->ShowLook(shown.state == BoardState::Pass   ? Gauge::Look::Passed
                    : shown.state == BoardState::Fail ? Gauge::Look::Failed
                                                      : Gauge::Look::Neutral);
  if (controller_) FollowPortInUse();
}

void TForm1::StartKeyPressed() {
  RunButton([this] { controller_->StartKey(); });
}

void TForm1::FormCreate() {
  move(layout::kFormLeft, layout::kFormTop);
  StatusBar1->setFont(StatusBarFont());
  controller_->Open();
  // Selected without running the change handlers: the port selector shows the port opened,
  // the type selector the stored type (nothing for a TYPE that names none).
  ListSerialDeviceItems();
  ComboBox1->SetItemIndex(controller_->settings().Type);
  controller_->RefreshState();
}

void TForm1::StatusBar1DrawPanel(int panel, const QRect& rect) {
  if (panel != layout::kGaugePanel) return;
  CGauge1->setParent(StatusBar1);
  Place(CGauge1, layout::GaugeBox({rect.left(), rect.top(), rect.width(), rect.height()}));
  CGauge1->show();
}

template <typename Handler>
void TForm1::RunButton(Handler handler) {
  handler();
  DismissStopQuestion();
  if (closePending_) {
    closePending_ = false;
    close();
  }
}

void TForm1::BitBtn1Click() {
  RunButton([this] { controller_->LoadFile(); });
}

void TForm1::BitBtn2Click() {
  RunButton([this] { controller_->ProgramTarget(); });
}

void TForm1::BitBtn3Click() {
  RunButton([this] { controller_->StoreInProgrammer(); });
}

void TForm1::Memo1VerifyTarget() {
  RunButton([this] { controller_->VerifyTarget(); });
}

void TForm1::Memo1VerifyKv218() {
  RunButton([this] { controller_->VerifyProgrammer(); });
}

void TForm1::Timer1Timer() { controller_->OnTick(); }

void TForm1::Memo1DblClick() { controller_->QueryNote(); }

void TForm1::Memo1SaveLog() {
  std::optional<QString> path;
  if (chooseLogFile_) {
    path = chooseLogFile_();
  } else {
    const QString chosen = QFileDialog::getSaveFileName(this, "Save Log", "kv218tool-log.txt",
                                                        "Text files (*.txt);;All files (*)");
    if (!chosen.isEmpty()) path = chosen;
  }
  if (!path) return;
  // Written whole or not at all; line breaks as the platform writes them in text files.
  QSaveFile file(*path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text) ||
      file.write(Memo1->LogFileText().toUtf8()) < 0 || !file.commit()) {
    QMessageBox::critical(this, kApplicationTitle, "Unable to write to " + *path);
  }
}

void TForm1::ComboBox2Change(int itemIndex) {
  // A serial device's item opens its path; the COM items go by the item index.
  const QVariant device = itemIndex >= 0 ? ComboBox2->itemData(itemIndex) : QVariant();
  if (device.isValid()) {
    controller_->OpenPort(QFile::encodeName(device.toString()).toStdString());
  } else {
    controller_->SelectPort(itemIndex);
  }
}

void TForm1::ComboBox1Change() { controller_->TypeChanged(); }

void TForm1::closeEvent(QCloseEvent* event) {
  if (controller_->Running()) {
    // Asked once; on yes the run's wait returns at its next message, and the button's
    // handler then closes again.
    if (!closePending_ && !stopQuestion_) AskToStopRun();
    event->ignore();
    return;
  }
  if (!controller_->Close(ComboBox2->ItemIndex())) {
    event->ignore();  // the settings could not be written; that was shown, the window stays
    return;
  }
  event->accept();
}

void TForm1::AskToStopRun() {
  // Not QMessageBox::question: its modal loop would run inside the run's wait, which could
  // not see its reply until the box was answered while the ticks went on counting.
  auto* box =
      new QMessageBox(QMessageBox::Question, kApplicationTitle, Controller::kStopRunQuestion,
                      QMessageBox::Yes | QMessageBox::No, this);
  box->setDefaultButton(QMessageBox::No);
  box->setWindowModality(Qt::WindowModal);
  connect(box, &QMessageBox::finished, this, [this, box](int answer) {
    box->deleteLater();
    if (answer == QMessageBox::Yes && controller_->Running()) {
      controller_->RequestClose();
      closePending_ = true;
    }
  });
  stopQuestion_ = box;
  box->open();
}

void TForm1::DismissStopQuestion() {
  if (!stopQuestion_) return;
  QMessageBox* box = stopQuestion_;
  stopQuestion_ = nullptr;
  box->disconnect(this);
  box->done(QMessageBox::No);
  box->deleteLater();
}

void TForm1::EndSession() {
  if (controller_->Running()) {
    DismissStopQuestion();
    // Whatever else is open (the suspect file's offer, the save dialog) is cancelled.
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      dialog->reject();
    }
    controller_->RequestClose();
    closePending_ = true;  // the run unwinds, then its button's handler closes the window
    return;
  }
  close();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (!FirstLocalFile(event->mimeData()).empty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  const std::string path = FirstLocalFile(event->mimeData());
  if (path.empty()) return;
  event->acceptProposedAction();
  // A drop arrives even during a run (the run's waits handle events); the controller refuses it.
  controller_->LoadFileNamed(path);
}

void TForm1::resizeEvent(QResizeEvent*) {
  // The status bar spans the bottom edge at every size; the other controls stay put.
  StatusBar1->setGeometry(0, height() - StatusBar::kHeight, width(), StatusBar::kHeight);
}

}  // namespace kv218
