// The log pane's context menu: "Save Log..." writes the lines as shown into a text file, "Copy"
// puts the selection (or the whole log) on the clipboard.

#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QWindow>

#include "form_fixture.h"
#include "log_menu.h"

namespace kv218::test {
namespace {

class LogMenuTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form = &MakeForm();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    form->Memo1->AppendLog("Loading /home/m\xC3\xBC/tk_series.hex ...");
    form->Memo1->AppendToLastLine(" OK");
    form->Memo1->AppendLog("<<NOTE>> FKV-218\r\nV1.3");
  }

  QStringList PickFromMenu(const QString& action) { return PickFromLogMenu(*form, action); }

  static QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
  }

  TForm1* form = nullptr;
  const QByteArray shown = "Loading /home/m\xC3\xBC/tk_series.hex ... OK\n<<NOTE>> FKV-218\nV1.3\n";
};

TEST_F(LogMenuTest, MenuOffersSaveLogCopyAndTheVerifications) {
  EXPECT_EQ(PickFromMenu(""),
            QStringList({"Save Log...", "Copy", "Verify Target", "Verify KV-218"}));
}

TEST_F(LogMenuTest, SaveLogWritesTheLinesAsShown) {
  const QString path = dir_.filePath("run.txt");
  logChoices_ = {path};
  PickFromMenu("Save Log...");
  EXPECT_EQ(FileBytes(path), shown);

  // Saving again replaces the file with the log as it now stands.
  form->Memo1->AppendLog("PROGRAMMING SUCCEEDED. (1/2/2026 10:00:00 AM)");
  logChoices_ = {path};
  PickFromMenu("Save Log...");
  EXPECT_EQ(FileBytes(path), shown + "PROGRAMMING SUCCEEDED. (1/2/2026 10:00:00 AM)\n");
}

// The pane keeps the last lines only, so a shift's log does not grow without bound; the saved
// log is whole all the same, and the step line is still completed and coloured in place.
TEST_F(LogMenuTest, ThePaneKeepsTheLastLinesAndTheSavedLogIsWhole) {
  LogPane& log = *form->Memo1;
  log.SetKeptLines(20);
  QByteArray whole = shown;
  for (int i = 0; i < 100; ++i) {
    const QString line = QString("%1. Programming Program Memory ...").arg(i);
    log.AppendLog(line.toStdString());
    log.AppendAside("<<NOTE>> aside");
    log.AppendToLastLine(" OK");
    whole += (line + " OK\n<<NOTE>> aside\n").toUtf8();
  }
  const QStringList lines = log.Lines();
  EXPECT_EQ(lines.size(), 20);  // a twentieth of 20 over the bound: each line trims at once
  EXPECT_EQ(lines.back(), "<<NOTE>> aside");
  EXPECT_EQ(lines[lines.size() - 2], "99. Programming Program Memory ... OK");
  log.ColourStepLine(kSucceededColour);
  EXPECT_EQ(log.LineColour(static_cast<int>(lines.size()) - 2), kSucceededColour);

  const QString path = dir_.filePath("shift.txt");
  logChoices_ = {path};
  PickFromMenu("Save Log...");
  EXPECT_EQ(FileBytes(path), whole);
}

TEST_F(LogMenuTest, CancelledSaveWritesNothing) {
  logChoices_ = {QString()};
  PickFromMenu("Save Log...");
  EXPECT_TRUE(logChoices_.empty());  // the dialog was asked
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
}

TEST_F(LogMenuTest, UnwritableLogFileIsReportedAndTheWindowGoesOn) {
  const QString path = dir_.filePath("no-such-folder/run.txt");
  logChoices_ = {path};
  QString text;
  QString title;
  QTimer::singleShot(0, [&] {
    // The menu is gone by now; the error box is the modal widget.
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      text = box->text();
      title = box->windowHandle()->title();
      box->accept();
    });
  });
  PickFromMenu("Save Log...");
  EXPECT_EQ(text, "Unable to write to " + path);
  EXPECT_EQ(title, "Firmware Upgrade Application");
  EXPECT_FALSE(QFile::exists(path));
  // The double click still asks the programmer for its note.
  QTest::mouseDClick(form->Memo1->viewport(), Qt::LeftButton);
  EXPECT_EQ(adapter_.SentBytes(), (std::vector<std::uint8_t>{0x1F, 0x2D}));
}

TEST_F(LogMenuTest, CopyTakesTheSelectionOrTheWholeLog) {
  QGuiApplication::clipboard()->clear();
  PickFromMenu("Copy");
  EXPECT_EQ(QGuiApplication::clipboard()->text().toUtf8(), shown.chopped(1));

  QTextCursor cursor(form->Memo1->document()->lastBlock());
  cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  form->Memo1->setTextCursor(cursor);
  PickFromMenu("Copy");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "V1.3");
}

}  // namespace
}  // namespace kv218::test
