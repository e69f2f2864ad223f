// The window against the simulated programmer: load, a type-0 target run, the flash download,
// the programmer's note and one of its stand-alone runs, all read from the log pane.

#include <QRegularExpression>

#include "log_menu.h"
#include "simulator_fixture.h"

namespace kv218::test {
namespace {

const std::string kExample = KV218_EXAMPLES_DIR "/tk_series.hex";

// Checks the lines from `from` on against expected prefixes; a prefix ending in "(" must be
// closed by a date and time and ")".
void ExpectLines(const QStringList& lines, int from, const QStringList& expected) {
  ASSERT_GE(lines.size(), from + expected.size()) << lines.join('\n').toStdString();
  for (int i = 0; i < expected.size(); ++i) {
    const QString& line = lines[from + i];
    SCOPED_TRACE(line.toStdString());
    if (expected[i].isEmpty()) {
      EXPECT_TRUE(line.isEmpty());
    } else if (expected[i].endsWith('(')) {
      EXPECT_TRUE(line.startsWith(expected[i]));
      EXPECT_TRUE(line.endsWith(')'));
      EXPECT_GT(line.size(), expected[i].size() + 1);  // the time stamp
    } else {
      EXPECT_TRUE(line.startsWith(expected[i]));
    }
  }
}

using WindowAgainstSimulator = SimulatorTest;

TEST_F(WindowAgainstSimulator, ProgramsTheTargetAndStoresTheImageInTheProgrammer) {
  TForm1& form = *form_;
  EXPECT_EQ(form.StatusBar1->PanelText(1).toStdString(), server_->SlavePath());
  choice_ = kExample;
  QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
  ASSERT_EQ(Lines().size(), 3);
  const QString loaded = Lines()[2];
  ASSERT_TRUE(loaded.startsWith("Loading ... OK")) << loaded.toStdString();

  // The target run: the click returns when the run is over.
  QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
  ExpectLines(Lines(), 3,
              {"", QString::fromStdString(kExample), loaded, "", "PROGRAMMING TARGET ... (",
               "1. Reading Device ID ... OK", "2. Bulk Erasing ... OK",
               "3. Programming Program Memory ... OK", "4. Reading Program Memory ... OK",
               "5. Verify Program Memory ... OK", "6. Programming Configuration Bits ... OK",
               "7. Reading Configuration Bits ... OK", "8. Verify Configuration Bits ... OK",
               "9. Resetting ... OK", "PROGRAMMING SUCCEEDED. ("});
  EXPECT_EQ(Lines().size(), 3 + 15);
  EXPECT_TRUE(form.BitBtn1->isEnabled() && form.BitBtn2->isEnabled() && form.BitBtn3->isEnabled());
  EXPECT_FALSE(form.Timer1.isActive());
  EXPECT_EQ(form.CGauge1->Progress(), 100);

  // The flash download.
  const int before = static_cast<int>(Lines().size());
  QTest::mouseClick(form.BitBtn3, Qt::LeftButton);
  ExpectLines(Lines(), before,
              {"", QString::fromStdString(kExample), loaded, "",
               "<<NOTE>> Internal Flash Bulk Erase Counter (Max:100,000): ", "",
               "PROGRAMMING FLASH MEMORY ... (", "1. Bulk Erasing Flash Memory ... OK",
               "2. Flash Memory Writting ... OK", "3. Verify Flash Memory ... OK",
               "4. Flash Memory Configuation Bits Writting ... OK",
               "5. Vreify Flash Memory Configuation Bits ... OK", "PROGRAMMING SUCCEEDED. ("});
  EXPECT_EQ(Lines().size(), before + 13);
  EXPECT_TRUE(Lines()[before + 4].contains(QRegularExpression(": \\d+$")));
  EXPECT_TRUE(form.BitBtn3->isEnabled());

  // The programmer's note, asked for by a double click, arrives while the window idles.
  const int idle = static_cast<int>(Lines().size());
  QTest::mouseDClick(form.Memo1->viewport(), Qt::LeftButton);
  ASSERT_TRUE(WaitForLine("<<NOTE>> F", idle));
  EXPECT_EQ(Lines().back().toStdString(), "<<NOTE>> F" + model_->Options().note);

  // A stand-alone run from the programmer's flash reports itself line by line.
  const int standalone = static_cast<int>(Lines().size());
  server_->RequestStandaloneRun();
  ASSERT_TRUE(WaitForLine("PROGRAMMING SUCCEEDED. (", standalone));
  ExpectLines(Lines(), standalone, {"", "KV-218 TO TARGET ... (", "1. Check Device Ready ( 0x"});
}

// The log's menu checks the loaded file against the target and the programmer's flash,
// reading only: the same lines as on the command line, the buttons back afterwards.
TEST_F(WindowAgainstSimulator, VerifiesTheTargetAndTheProgrammerFromTheLogMenu) {
  TForm1& form = *form_;
  form.ComboBox1->SetItemIndex(2);
  choice_ = KV218_EXAMPLES_DIR "/cradle_set.hex";
  QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
  QTest::mouseClick(form.BitBtn2, Qt::LeftButton);
  ASSERT_TRUE(Lines().back().startsWith("PROGRAMMING SUCCEEDED. ("))
      << Lines().back().toStdString();

  int before = static_cast<int>(Lines().size());
  PickFromLogMenu(form, "Verify Target");
  ExpectLines(Lines(), before,
              {"", QString::fromStdString(*choice_), "Loading ... OK", "", "VERIFYING TARGET ... (",
               "1. Reading Device ID ... OK", "2. Reading Program Memory ... OK",
               "3. Verify Program Memory ... OK", "VERIFY SUCCEEDED. ("});
  EXPECT_EQ(Lines().size(), before + 9);

  // The programmer's flash holds no image: it differs from the first byte on.
  before = static_cast<int>(Lines().size());
  PickFromLogMenu(form, "Verify KV-218");
  ExpectLines(Lines(), before,
              {"", QString::fromStdString(*choice_), "Loading ... OK", "", "VERIFYING KV-218 ... (",
               "1. Reading Flash Memory ... OK", "2. Verify Flash Memory ... NG ( std : 0x",
               "First difference at 0x0000: file ", "VERIFY FAILED. ("});
  EXPECT_TRUE(form.BitBtn1->isEnabled() && form.BitBtn2->isEnabled() && form.BitBtn3->isEnabled());
  EXPECT_FALSE(form.Timer1.isActive());
  EXPECT_EQ(model_->Memory().flash.EraseCounter, 0u);
}

}  // namespace
}  // namespace kv218::test
