// The window as a production line's operator meets it, over the simulated programmer
// in-process: the load's warnings, selectors a run disables, the close asked during a run,
// the coloured verdict and gauge, the port that is not open, panel 4 after a type change.

#include <signal.h>

#include <QMessageBox>
#include <QPainter>
#include <QTest>
#include <QTimer>

#include "form_fixture.h"
#include "sim/device_model.h"
#include "sim/fault_set.h"
#include "sim/in_process_port.h"
#include "ui/common/form_layout.h"
#include "ui/qt/end_signals.h"
#include "ui/qt/qt_window_ops.h"

namespace kv218::test {
namespace {

const std::string kEcoMode = KV218_EXAMPLES_DIR "/eco_mode.hex";
const std::string kTkSeries = KV218_EXAMPLES_DIR "/tk_series.hex";
const QString kQuestion = "A run is in progress. Stop it and close?";

// A Form1 whose port is the simulated programmer in-process (with the given faults), so a run
// goes through at once; the fake port stands in until the form exists.
class OperatorTest : public FormTest {
 protected:
  TForm1& MakeSimulatedForm(const std::vector<std::string>& faults = {}) {
    std::string error;
    sim::DeviceOptions options;
    options.faults = *sim::FaultSet::Parse(faults, error);
    form_.reset();  // the last form's ports go before the programmer they talk to
    model_ = std::make_unique<sim::DeviceModel>(options);
    TForm1& form = MakeForm();
    form.controller().OpenPort("/dev/ttySIM");  // now the simulated programmer
    return form;
  }
  std::unique_ptr<PortChannel> MakePort() override {
    if (!form_ || !model_) return FormTest::MakePort();
    auto port = std::make_unique<sim::InProcessPort>(*model_, form_->loop());
    port->SetReceiver([this](const std::uint8_t* data, std::size_t count) {
      form_->controller().OnBurst(data, count);
    });
    return port;
  }
  // Answers the next message box with button, noting its text.
  void AnswerNextBox(QMessageBox::StandardButton button) {
    QTimer::singleShot(0, [this, button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      asked_.append(box->text());
      box->button(button)->click();
    });
  }
  void Load(TForm1& form, int type, const std::string& path) {
    form.ComboBox1->SetItemIndex(type);
    choices_ = {path};
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
  }

  std::unique_ptr<sim::DeviceModel> model_;
  QStringList asked_;
};

struct SuspectFile {
  const char* name;
  int type;
  QByteArray content;  // empty: the example of type 0
  QStringList warnings;
};

class LoadWarningTest : public OperatorTest, public testing::WithParamInterface<SuspectFile> {};

TEST_P(LoadWarningTest, FollowTheLoadingLines) {
  const SuspectFile& c = GetParam();
  TForm1& form = MakeForm();
  std::string path = kTkSeries;
  if (!c.content.isNull()) {
    path = dir_.filePath("suspect.hex").toStdString();
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(c.content);
  }
  Load(form, c.type, path);
  const QStringList lines = form.Memo1->Lines();
  ASSERT_EQ(lines.size(), 3 + c.warnings.size()) << lines.join('\n').toStdString();
  EXPECT_TRUE(lines[2].startsWith("Loading ... OK ")) << lines[2].toStdString();
  EXPECT_EQ(lines.mid(3), c.warnings);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadWarningTest,
    testing::Values(
        SuspectFile{"Empty",
                    0,
                    QByteArray(""),
                    {"<<WARNING>> No data records", "<<WARNING>> No end-of-file record"}},
        SuspectFile{"SavedLog",
                    2,
                    QByteArray("\nC:\\tk.hex\nLoading ... OK ( 0x0 - 0x007FFF , 0x79c4 )\n"),
                    {"<<WARNING>> No data records", "<<WARNING>> No end-of-file record"}},
        SuspectFile{"Sound", 0, QByteArray(), {}}),
    [](const testing::TestParamInfo<SuspectFile>& p) { return std::string(p.param.name); });

// The type-0 example on a 16-bit target: its words above 32 KB and its configuration segment
// have no room there.
TEST_F(OperatorTest, AFileOfAnotherTypeIsNamedAsSuch) {
  TForm1& form = MakeForm();
  Load(form, 2, kTkSeries);
  const QStringList lines = form.Memo1->Lines();
  ASSERT_EQ(lines.size(), 4) << lines.join('\n').toStdString();
  EXPECT_TRUE(lines[3].startsWith("<<WARNING>> ")) << lines[3].toStdString();
  EXPECT_TRUE(lines[3].contains(" outside the memory of Cradle Set ignored (0x"));
  EXPECT_TRUE(lines[3].endsWith("; they fit TK Series)")) << lines[3].toStdString();
}

TEST_F(OperatorTest, SelectorsAreDisabledWhileARunGoesOn) {
  TForm1& form = MakeSimulatedForm();
  Load(form, 3, kEcoMode);
  std::vector<bool> enabled;
  model_->SetFrameObserver([&](const sim::Frame& frame) {
    if (frame.command != sim::Command::AutoProgram) return;
    enabled = {form.ComboBox1->isEnabled(), form.ComboBox2->isEnabled(), form.BitBtn1->isEnabled()};
  });
  QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
  EXPECT_EQ(enabled, (std::vector<bool>{false, false, false}));
  EXPECT_TRUE(form.ComboBox1->isEnabled());
  EXPECT_TRUE(form.ComboBox2->isEnabled());
  EXPECT_TRUE(form.BitBtn1->isEnabled());
}

TEST_F(OperatorTest, ClosingDuringARunAsksFirst) {
  for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
    TForm1& form = MakeSimulatedForm();
    form.show();
    Load(form, 3, kEcoMode);
    model_->SetFrameObserver([&](const sim::Frame& frame) {
      if (frame.command != sim::Command::AutoProgram) return;
      AnswerNextBox(answer);
      form.close();
    });
    QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
    const bool yes = answer == QMessageBox::Yes;
    EXPECT_EQ(form.controller().LastOutcome(),
              yes ? RunOutcome::Interrupted : RunOutcome::Succeeded);
    EXPECT_EQ(form.isVisible(), !yes);  // closed once the run had unwound
  }
  EXPECT_EQ(asked_, QStringList({kQuestion, kQuestion}));
}

// A file the run's reload finds suspect is refused before the first frame, with a box whose
// default is Cancel and a warning line; "Program anyway" programs it.
TEST_F(OperatorTest, ASuspectFileIsRefusedUnlessProgrammedAnyway) {
  QFile valid(QString::fromStdString(kEcoMode));
  ASSERT_TRUE(valid.open(QIODevice::ReadOnly));
  QByteArray wrongSum = valid.readAll();
  const qsizetype data = wrongSum.indexOf(":10") + 9;  // the first data record's first byte
  wrongSum[data] = wrongSum[data] == '0' ? '1' : '0';
  const struct {
    const char* name;
    QByteArray content;
    QString reasons;
  } cases[] = {
      {"empty", "", "no data records; no end-of-file record"},
      {"text", "Firmware for the line\nsee the README\n", "no data records; no end-of-file record"},
      {"binary", QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR:", 17),
       "no data records; no end-of-file record"},
      {"wrong checksum", wrongSum, "1 record with a wrong checksum (in line "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir_.filePath("suspect.hex").toStdString();
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(c.content);
    file.close();
    for (const bool force : {false, true}) {
      TForm1& form = MakeSimulatedForm();
      Load(form, 3, path);
      std::vector<sim::Command> frames;
      model_->SetFrameObserver([&](const sim::Frame& frame) { frames.push_back(frame.command); });
      QString defaultButton;
      // Answers the box once it is up (the click itself may handle events before the run).
      QTimer answer;
      answer.setInterval(10);
      QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        answer.stop();
        asked_.append(box->text());
        defaultButton = box->defaultButton()->text();
        for (QAbstractButton* button : box->buttons()) {
          if ((button->text() == "Program anyway") == force) {
            button->click();
            return;
          }
        }
      });
      answer.start();
      QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
      answer.stop();
      ASSERT_FALSE(asked_.isEmpty());
      EXPECT_TRUE(asked_.back().contains(c.reasons)) << asked_.back().toStdString();
      EXPECT_NE(defaultButton, "Program anyway");
      const QStringList lines = form.Memo1->Lines();
      const QString warning =
          QString(force ? "<<WARNING>> Programmed anyway: " : "<<WARNING>> Not programmed: ") +
          QString::fromStdString(path) + " is suspect (" + c.reasons;
      EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const QString& line) {
        return line.startsWith(warning);
      })) << lines.join('\n').toStdString();
      EXPECT_EQ(frames.empty(), !force);
      EXPECT_EQ(form.controller().LastOutcome() == RunOutcome::Refused, !force);
      EXPECT_TRUE(form.BitBtn2->isEnabled());
    }
  }
}

// The close question left unanswered for 10 s during a block transfer: the run goes on under
// it, the programmer gets the frames of a run without the question, and the question goes
// when the run is over. (Were the run held up under it, its time-out would count the 10 s and
// the answer No would find the run timed out.)
TEST_F(OperatorTest, TheCloseQuestionLeavesTheRunAlone) {
  std::vector<sim::Command> frames[2];
  for (const bool ask : {false, true}) {
    TForm1& form = MakeSimulatedForm();
    form.show();
    Load(form, 0, kTkSeries);
    int blocks = 0;
    QString shown;
    QTimer noAfterTenSeconds;
    noAfterTenSeconds.setSingleShot(true);
    QObject::connect(&noAfterTenSeconds, &QTimer::timeout, [] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        box->button(QMessageBox::No)->click();
      }
    });
    model_->SetFrameObserver([&](const sim::Frame& frame) {
      frames[ask].push_back(frame.command);
      if (!ask || frame.command != sim::Command::WriteData) return;
      if (++blocks == 2) {
        noAfterTenSeconds.start(10000);
        form.close();
      }
      if (blocks == 4 && form.StopQuestion() != nullptr) shown = form.StopQuestion()->text();
    });
    QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
    EXPECT_EQ(form.controller().LastOutcome(), RunOutcome::Succeeded);
    EXPECT_TRUE(form.isVisible());
    if (ask) {
      EXPECT_EQ(shown, kQuestion);
      EXPECT_EQ(form.StopQuestion(), nullptr);
      EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
  }
  EXPECT_EQ(frames[1], frames[0]);
}

// Told to end (SIGTERM) in the middle of a store: the run stops as the close question's yes
// stops it, the erase it asked for is counted, the run is recorded as interrupted, the
// settings are saved and the window closes.
TEST_F(OperatorTest, SigtermMidStoreEndsTheRunCleanly) {
  const std::string record = dir_.filePath("runs.jsonl").toStdString();
  WriteSettings(QByteArray("[RECORD]\r\nFILE=") + QByteArray::fromStdString(record) + "\r\n");
  TForm1& form = MakeSimulatedForm();
  EndSignals endSignals;
  QObject::connect(&endSignals, &EndSignals::Received, &form, &TForm1::EndSession);
  form.show();
  Load(form, 3, kEcoMode);
  std::vector<sim::Command> frames;
  model_->SetFrameObserver([&](const sim::Frame& frame) {
    frames.push_back(frame.command);
    if (frame.command == sim::Command::FlashErase) raise(SIGTERM);
  });
  QTest::mouseClick(form.BitBtn3, Qt::LeftButton);
  EXPECT_EQ(form.controller().LastOutcome(), RunOutcome::Interrupted);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(model_->Memory().flash.EraseCounter, 1u);
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.back(), sim::Command::EndRun);
  EXPECT_EQ(std::count(frames.begin(), frames.end(), sim::Command::FlashWriteData), 0);
  EXPECT_EQ(Saved().Type, 3);  // saved by the close
  QFile lines(QString::fromStdString(record));
  ASSERT_TRUE(lines.open(QIODevice::ReadOnly));
  EXPECT_TRUE(lines.readAll().contains("\"result\":\"interrupted\"")) << record;
}

TEST_F(OperatorTest, TheVerdictIsGreenOrRedAndTheGaugeRedAfterAFailure) {
  const struct {
    const char* name;
    std::vector<std::string> faults;
    QString closing;
    QColor line;
    QColor bar;
    QString nextStep;  // the plain line after the closing line; empty: none
  } cases[] = {
      {"succeeded", {}, "PROGRAMMING SUCCEEDED. (", kSucceededColour, QColor(0, 0xA0, 0), ""},
      {"failed",
       {"autoprogram-fails"},
       "PROGRAMMING FAILED. (",
       kFailedColour,
       QColor(0xFF, 0, 0),
       "<<NEXT STEP>> re-seat the board and program it again; if it fails twice, set it aside"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TForm1& form = MakeSimulatedForm(c.faults);
    Load(form, 3, kEcoMode);
    QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
    const QStringList lines = form.Memo1->Lines();
    const int closing = static_cast<int>(lines.size()) - (c.nextStep.isEmpty() ? 1 : 2);
    ASSERT_TRUE(lines[closing].startsWith(c.closing)) << lines.join('\n').toStdString();
    if (!c.nextStep.isEmpty()) {
      EXPECT_EQ(lines.back(), c.nextStep);
      EXPECT_EQ(form.Memo1->LineColour(closing + 1), form.Memo1->palette().color(QPalette::Text));
    }
    EXPECT_EQ(form.Memo1->LineColour(closing), c.line);
    EXPECT_EQ(form.Memo1->LineColour(closing - 1), form.Memo1->palette().color(QPalette::Text));
    EXPECT_EQ(form.CGauge1->BarColour(), c.bar);
    // The next line is plain again, and the next run takes the colour back.
    form.Memo1->AppendLog("after");
    EXPECT_EQ(form.Memo1->LineColour(closing + 1), form.Memo1->palette().color(QPalette::Text));
    model_->SetFrameObserver([&](const sim::Frame& frame) {
      if (frame.command == sim::Command::AutoProgram) {
        EXPECT_EQ(form.CGauge1->BarColour(), QColor(0, 0, 0xFF));
      }
    });
    QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
  }
}

TEST_F(OperatorTest, ARunWithThePortNotOpenSaysSoAtOnce) {
  adapter_.SetOpens(false);
  TForm1& form = MakeForm();
  EXPECT_EQ(form.StatusBar1->PanelText(1), "N/A");
  // Named at once, with the device the COM name opens on Linux.
  ASSERT_FALSE(form.Memo1->Lines().isEmpty());
  EXPECT_TRUE(
      form.Memo1->Lines()[0].startsWith("<<WARNING>> Cannot open port \\\\.\\COM1 (/dev/ttyS0)"))
      << form.Memo1->Lines()[0].toStdString();
  Load(form, 0, kTkSeries);
  for (QPushButton* button : {form.BitBtn2, form.BitBtn3}) {
    QTest::mouseClick(button, Qt::LeftButton);
    const QStringList lines = form.Memo1->Lines();
    EXPECT_EQ(lines.mid(lines.size() - 2),
              QStringList({"", "<<WARNING>> Port /dev/ttyS0 is not open"}));
    EXPECT_FALSE(form.Timer1.isActive());
    EXPECT_TRUE(button->isEnabled());
  }
  EXPECT_TRUE(adapter_.SentBytes().empty());
}

TEST_F(OperatorTest, PickingAnotherTypeClearsTheChecksumPanel) {
  TForm1& form = MakeForm();
  Load(form, 0, kTkSeries);
  EXPECT_NE(form.StatusBar1->PanelText(4), "N/A");
  form.ComboBox1->setCurrentIndex(1);
  emit form.ComboBox1->activated(1);  // as the operator picks it
  EXPECT_EQ(form.StatusBar1->PanelText(4), "N/A");
}

// The five states over a large area, each in its own colour, told apart on a picture of the
// window a quarter of its size: the band above the selectors and the log pane's ground.
struct StatePicture {
  BoardState state;
  QColor band;  // the band's mean colour on the quarter-size picture
  QColor log;   // the log pane's
  QColor gauge;
};

QColor MeanColour(const QImage& image, const layout::Box& box) {
  // The box at a quarter of its size, a pixel in from each edge (frames and borders).
  const QRect area(box.left / 4 + 1, box.top / 4 + 1, box.width / 4 - 2, box.height / 4 - 2);
  long red = 0, green = 0, blue = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      red += pixel.red(), green += pixel.green(), blue += pixel.blue();
    }
  }
  const long count = static_cast<long>(area.width()) * area.height();
  return QColor(static_cast<int>(red / count), static_cast<int>(green / count),
                static_cast<int>(blue / count));
}

int Distance(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
         std::abs(a.blue() - b.blue());
}

StatePicture Picture(TForm1& form, const char* name) {
  const QImage full = form.grab().toImage();
  const QImage quarter = full.scaled(full.width() / 4, full.height() / 4, Qt::IgnoreAspectRatio,
                                     Qt::SmoothTransformation);
  // KV218_STATE_PICTURES=folder keeps the pictures, to look at.
  if (const QByteArray folder = qgetenv("KV218_STATE_PICTURES"); !folder.isEmpty()) {
    full.save(QString::fromUtf8(folder) + "/state-" + name + ".png");
    quarter.save(QString::fromUtf8(folder) + "/state-" + name + "-quarter.png");
  }
  return {form.StateBand1->State(), MeanColour(quarter, layout::kStateBand),
          MeanColour(quarter, layout::kMemo1), form.CGauge1->BarColour()};
}

TEST_F(OperatorTest, EachStateIsShownOverALargeAreaInAColourOfItsOwn) {
  std::vector<StatePicture> pictures;
  TForm1& form = MakeSimulatedForm();
  form.show();
  pictures.push_back(Picture(form, "not-ready"));
  Load(form, 3, kEcoMode);
  pictures.push_back(Picture(form, "ready"));
  model_->SetFrameObserver([&](const sim::Frame& frame) {
    if (frame.command == sim::Command::AutoProgram) pictures.push_back(Picture(form, "running"));
  });
  QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
  pictures.push_back(Picture(form, "pass"));
  TForm1& failing = MakeSimulatedForm({"autoprogram-fails"});
  failing.show();
  Load(failing, 3, kEcoMode);
  QTest::mouseClick(failing.BitBtn2, Qt::LeftButton);
  pictures.push_back(Picture(failing, "fail"));

  const std::vector<BoardState> states{BoardState::NotReady, BoardState::Ready, BoardState::Running,
                                       BoardState::Pass, BoardState::Fail};
  ASSERT_EQ(pictures.size(), states.size());
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    EXPECT_EQ(pictures[i].state, states[i]) << i;
    for (std::size_t j = 0; j < i; ++j) {
      // Far apart in colour alone, in the band and in the log's large area both.
      EXPECT_GT(Distance(pictures[i].band, pictures[j].band), 120) << i << " " << j;
      EXPECT_GT(Distance(pictures[i].log, pictures[j].log), 60) << i << " " << j;
    }
  }
  // The gauge: neutral until a verdict, green after a pass, red after a failure.
  const QColor neutral(0, 0, 0xFF);
  EXPECT_EQ(pictures[1].gauge, neutral);
  EXPECT_EQ(pictures[2].gauge, neutral);
  EXPECT_EQ(pictures[3].gauge, QColor(0, 0xA0, 0));
  EXPECT_EQ(pictures[4].gauge, QColor(0xFF, 0, 0));
  // A load takes the verdict back.
  Load(failing, 3, kEcoMode);
  EXPECT_EQ(failing.StateBand1->State(), BoardState::Ready);
  EXPECT_EQ(failing.CGauge1->BarColour(), neutral);
  EXPECT_EQ(failing.StateBand1->Detail(), "0 passed, 1 failed");
}

// F5 and the keypad's Enter start PC -> Target wherever the focus is, and the focus is where
// it was after the run, so that a foot pedal programs board after board; keys pressed during a
// run do nothing; without a file they do nothing either.
TEST_F(OperatorTest, TheStartKeysProgramBoardAfterBoardWhereverTheFocusIs) {
  TForm1& form = MakeSimulatedForm();
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  QTest::keyClick(form.Memo1, Qt::Key_F5);
  EXPECT_TRUE(form.Memo1->Lines().isEmpty());  // not ready: nothing at all
  Load(form, 3, kEcoMode);
  int programmed = 0;
  model_->SetFrameObserver([&](const sim::Frame& frame) {
    if (frame.command != sim::Command::AutoProgram) return;
    ++programmed;
    QTest::keyClick(form.Memo1, Qt::Key_F5);
    QTest::keyClick(form.Memo1, Qt::Key_Enter, Qt::KeypadModifier);
  });
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
  } keys[] = {{Qt::Key_F5, Qt::NoModifier}, {Qt::Key_Enter, Qt::KeypadModifier}};
  int boards = 0;
  for (QWidget* focus : std::initializer_list<QWidget*>{form.Memo1, form.BitBtn1, form.BitBtn2,
                                                        form.ComboBox1, form.ComboBox2}) {
    for (const auto& key : keys) {
      SCOPED_TRACE(focus->objectName().toStdString() + " " + std::to_string(key.key));
      focus->setFocus();
      ASSERT_EQ(QApplication::focusWidget(), focus);
      QTest::keyClick(QApplication::focusWidget(), key.key, key.modifiers);
      ++boards;
      EXPECT_EQ(programmed, boards);
      EXPECT_EQ(form.StateBand1->State(), BoardState::Pass);
      EXPECT_EQ(QApplication::focusWidget(), focus);
    }
  }
  EXPECT_EQ(form.StateBand1->Detail(), QString("%1 passed, 0 failed").arg(boards));
  // The main Enter is no start key: it stays the focused control's.
  form.Memo1->setFocus();
  QTest::keyClick(form.Memo1, Qt::Key_Return);
  EXPECT_EQ(programmed, boards);
}

}  // namespace
}  // namespace kv218::test
