// The window operations on Form1's widgets.

#include <QMessageBox>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "form_fixture.h"
#include "ui/qt/qt_window_ops.h"

namespace kv218::test {
namespace {

class WindowOpsTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form = &MakeForm();
    ops = std::make_unique<QtWindowOps>(*form, [this] { return NextChoice(); });
  }
  std::optional<std::string> NextChoice() {
    if (choices_.empty()) return std::nullopt;
    auto choice = choices_.front();
    choices_.pop_front();
    return choice;
  }

  TForm1* form = nullptr;
  std::unique_ptr<QtWindowOps> ops;
};

TEST_F(WindowOpsTest, LogLinesAreAddedAndCompletedInPlace) {
  ops->AppendLog("");
  ops->AppendLog("1. Reading Device ID ...");
  ops->AppendToLastLine(" OK");
  ops->AppendLog("2. Bulk Erasing ...");
  ops->AppendToLastLine(" NG");
  EXPECT_EQ(form->Memo1->Lines(),
            QStringList({"", "1. Reading Device ID ... OK", "2. Bulk Erasing ... NG"}));
}

TEST_F(WindowOpsTest, CompletionsPassOverLinesAsideToTheStepLine) {
  ops->AppendAside("1. Check Device Ready ( 0x05 )");
  ops->AppendToLastLine("alone");  // no step line yet: a line of its own
  ops->AppendLog("3. Verify Flash Memory ...");
  ops->AppendAside("2. Programming Code Memory ( 0x00AB )");
  ops->AppendToLastLine(" NG");
  ops->AppendLog("PROGRAMMING FAILED.");
  EXPECT_EQ(form->Memo1->Lines(),
            QStringList({"1. Check Device Ready ( 0x05 )", "alone", "3. Verify Flash Memory ... NG",
                         "2. Programming Code Memory ( 0x00AB )", "PROGRAMMING FAILED."}));
}

// A stand-alone run's verdict, which the programmer reports as a line aside, is coloured as the
// window's own runs' closing lines are; other lines aside are not.
TEST_F(WindowOpsTest, StandaloneVerdictLinesAreColouredAsTheWindowsOwn) {
  ops->AppendLog("step ...");
  const struct {
    const char* line;
    QColor colour;
  } cases[] = {
      {"PROGRAMMING SUCCEEDED. (12/11/26 10:00:00)", kSucceededColour},
      {"PROGRAMMING FAILED. (12/11/26 10:00:00)", kFailedColour},
      {"1. Check Device Ready ( 0x05 )", form->Memo1->palette().color(QPalette::Text)},
  };
  for (const auto& c : cases) {
    ops->AppendAside(c.line);
    EXPECT_EQ(form->Memo1->LineColour(static_cast<int>(form->Memo1->Lines().size()) - 1), c.colour)
        << c.line;
  }
  ops->AppendToLastLine(" OK");  // the step line stays plain
  EXPECT_EQ(form->Memo1->LineColour(0), form->Memo1->palette().color(QPalette::Text));
}

TEST_F(WindowOpsTest, CompletingWithNothingLoggedStartsTheFirstLine) {
  ops->AppendToLastLine(" OK");
  ops->AppendLog("next");
  EXPECT_EQ(form->Memo1->Lines(), QStringList({" OK", "next"}));
}

TEST_F(WindowOpsTest, LineBreaksInsideATextStartNewLines) {
  ops->AppendLog("<<NOTE>> Fline1\r\nline2\rline3");
  EXPECT_EQ(form->Memo1->Lines(), QStringList({"<<NOTE>> Fline1", "line2", "line3"}));
}

TEST_F(WindowOpsTest, LogFollowsItsEnd) {
  for (int i = 0; i < 200; ++i) ops->AppendLog("line " + std::to_string(i));
  const QScrollBar* bar = form->Memo1->verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
}

TEST(LogTextTest, KeepsUtf8AndShowsOtherBytesOneByOne) {
  const struct {
    std::string bytes;
    QString text;
  } cases[] = {
      {"plain", "plain"},
      {"/home/m\xC3\xBC/a.hex", QString::fromUtf8("/home/m\xC3\xBC/a.hex")},
      {"F\xB5\x31", QString::fromLatin1("F\xB5\x31")},  // not UTF-8: one character per byte
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(LogText(c.bytes), c.text);
}

TEST_F(WindowOpsTest, GaugeShowsTheClampedPercentage) {
  const struct {
    int asked;
    int shown;
  } cases[] = {{0, 0}, {42, 42}, {100, 100}, {-7, 0}, {250, 100}, {99, 99}};
  for (const auto& c : cases) {
    ops->SetProgress(c.asked);
    EXPECT_EQ(form->CGauge1->Progress(), c.shown) << c.asked;
    EXPECT_EQ(form->CGauge1->Text(), QString("%1%").arg(c.shown));
  }
}

TEST_F(WindowOpsTest, PanelTextsAreReplaced) {
  ops->SetPanelText(1, "COM12");
  ops->SetPanelText(4, "5400");
  ops->SetPanelText(5, "outside");  // no such panel: nothing happens
  ops->SetPanelText(-1, "outside");
  EXPECT_EQ(form->StatusBar1->PanelText(1), "COM12");
  EXPECT_EQ(form->StatusBar1->PanelText(4), "5400");
  EXPECT_EQ(form->StatusBar1->PanelText(0), "PORT");
}

TEST_F(WindowOpsTest, ButtonsAreEnabledAndDisabledTogether) {
  for (bool enabled : {false, true, false}) {
    ops->SetButtonsEnabled(enabled);
    for (QPushButton* button : {form->BitBtn1, form->BitBtn2, form->BitBtn3}) {
      EXPECT_EQ(button->isEnabled(), enabled);
    }
  }
  EXPECT_TRUE(form->ComboBox1->isEnabled());  // the selectors stay usable
  EXPECT_TRUE(form->ComboBox2->isEnabled());
}

TEST_F(WindowOpsTest, FileChoiceComesFromTheChooser) {
  choices_ = {std::string("/tmp/a.hex"), std::nullopt};
  EXPECT_EQ(ops->ChooseHexFile(), std::optional<std::string>("/tmp/a.hex"));
  EXPECT_EQ(ops->ChooseHexFile(), std::nullopt);  // cancelled
}

TEST_F(WindowOpsTest, TargetTypeIsTheTypeSelectorsItemIndex) {
  SelectorBox& types = *form->ComboBox1;
  for (int index : {3, 0, 2}) {
    types.SetItemIndex(index);
    EXPECT_EQ(ItemIndexOf(ops->SelectedType()), index);
  }
  types.SetItemIndex(7);  // outside the items: nothing selected
  EXPECT_EQ(ItemIndexOf(ops->SelectedType()), -1);
  EXPECT_TRUE(types.currentText().isEmpty());

  // The list's pick selects an item again.
  types.setCurrentIndex(1);
  types.activated(1);  // as the view reports it
  EXPECT_EQ(ItemIndexOf(ops->SelectedType()), 1);
}

TEST_F(WindowOpsTest, ErrorsAreShownInACriticalMessageBox) {
  QString shownText;
  QString shownTitle;
  QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    shownText = box->text();
    shownTitle = box->windowHandle()->title();  // as the platform gets it
    shownIcon = box->icon();
    box->accept();
  });
  ops->ShowError("Unable to write to /x/kv218tool.INI");
  EXPECT_EQ(shownText, "Unable to write to /x/kv218tool.INI");
  EXPECT_EQ(shownTitle, "Firmware Upgrade Application");
  EXPECT_EQ(shownIcon, QMessageBox::Critical);
}

}  // namespace
}  // namespace kv218::test
