#include "cli/console_window.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kv218 {
namespace {

class ConsoleWindowTest : public ::testing::Test {
 protected:
  std::ostringstream out, err;
};

TEST_F(ConsoleWindowTest, PrintsALineOnlyOnceItIsComplete) {
  ConsoleWindow window(out, err, {});
  window.AppendLog("");
  window.AppendLog("/tmp/a.hex");
  window.AppendLog("Loading ...");
  EXPECT_EQ(out.str(), "\n/tmp/a.hex\n");
  window.AppendToLastLine(" OK ");
  window.AppendToLastLine("(more)");
  EXPECT_EQ(out.str(), "\n/tmp/a.hex\n");
  window.Finish();
  EXPECT_EQ(out.str(), "\n/tmp/a.hex\nLoading ... OK (more)\n");
  window.Finish();  // nothing held: nothing more
  window.AppendToLastLine("late");
  window.AppendLog("next");
  window.Finish();
  EXPECT_EQ(out.str(), "\n/tmp/a.hex\nLoading ... OK (more)\nlate\nnext\n");
  EXPECT_EQ(err.str(), "");
}

TEST_F(ConsoleWindowTest, LinesAsideWaitBehindTheStepLineTheyInterrupt) {
  ConsoleWindow window(out, err, {});
  window.AppendAside("1. Check Device Ready ( 0x05 )");  // nothing held: printed at once
  EXPECT_EQ(out.str(), "1. Check Device Ready ( 0x05 )\n");
  window.AppendLog("3. Verify Flash Memory ...");
  window.AppendAside("2. Programming Code Memory ( 0x00AB )");
  window.AppendAside("<<NOTE>> Fx");
  window.AppendToLastLine(" NG");
  EXPECT_EQ(out.str(), "1. Check Device Ready ( 0x05 )\n");
  window.AppendLog("PROGRAMMING FAILED. (T)");
  window.Finish();
  EXPECT_EQ(out.str(),
            "1. Check Device Ready ( 0x05 )\n3. Verify Flash Memory ... NG\n"
            "2. Programming Code Memory ( 0x00AB )\n<<NOTE>> Fx\nPROGRAMMING FAILED. (T)\n");
}

TEST_F(ConsoleWindowTest, TheDestructorPrintsTheHeldLine) {
  {
    ConsoleWindow window(out, err, {});
    window.AppendToLastLine("only line");
  }
  EXPECT_EQ(out.str(), "only line\n");
}

TEST_F(ConsoleWindowTest, QuietPrintsNoLogButErrors) {
  ConsoleWindow window(out, err, {.showLog = false});
  window.AppendLog("Loading ...");
  window.ShowError("Cannot open file x.hex");
  window.Finish();
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), "Cannot open file x.hex\n");
  EXPECT_EQ(window.ErrorCount(), 1);
}

TEST_F(ConsoleWindowTest, NoProgressBarUnlessAsked) {
  ConsoleWindow window(out, err, {});
  window.SetProgress(50);
  window.Finish();
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(window.Progress(), 50);
}

TEST_F(ConsoleWindowTest, ProgressRowRedrawsOnChangeAndLeavesNoTrace) {
  ConsoleWindow window(out, err, {.showLog = true, .progressBar = true});
  window.SetProgress(0);
  window.SetProgress(0);
  window.SetProgress(250);
  const std::string drawn = err.str();
  EXPECT_EQ(std::count(drawn.begin(), drawn.end(), '\r'), 2);  // 0% once, then 100%
  EXPECT_NE(drawn.find("] 100%"), std::string::npos);
  EXPECT_EQ(window.Progress(), 100);

  window.AppendLog("a");
  window.AppendLog("b");  // prints "a": the row goes away and comes back
  window.Finish();
  window.ShowError("failed");
  EXPECT_EQ(out.str(), "a\nb\n");
  const std::string all = err.str();
  // The row is taken off (to the line's start, cleared to the end of the screen) before the
  // error, and not drawn again after it.
  EXPECT_TRUE(all.ends_with("\r\x1b[Jfailed\n")) << all;
}

TEST_F(ConsoleWindowTest, AnErrorTakesTheRowOffItsLine) {
  ConsoleWindow window(out, err, {.showLog = true, .progressBar = true});
  window.SetProgress(30);
  window.ShowError("Cannot open file x.hex");
  EXPECT_TRUE(err.str().ends_with("\r\x1b[JCannot open file x.hex\n")) << err.str();
}

TEST_F(ConsoleWindowTest, PanelsSelectorAndFileChoice) {
  ConsoleWindow window(out, err, {});
  EXPECT_EQ(window.PanelText(4), "N/A");
  EXPECT_EQ(window.PanelText(0), "PORT");
  window.SetPanelText(4, "5400");
  window.SetPanelText(5, "ignored");
  window.SetPanelText(-1, "ignored");
  EXPECT_EQ(window.PanelText(4), "5400");
  EXPECT_EQ(window.PanelText(5), "");

  EXPECT_EQ(window.SelectedType(), TargetType::TkSeries);
  window.SetSelectedType(TargetType::EcoMode);
  EXPECT_EQ(window.SelectedType(), TargetType::EcoMode);

  EXPECT_EQ(window.ChooseHexFile(), std::nullopt);
  window.SetHexFileChoice("/tmp/b.a43");
  EXPECT_EQ(window.ChooseHexFile(), "/tmp/b.a43");

  window.SetButtonsEnabled(false);
  EXPECT_FALSE(window.ButtonsEnabled());
}

}  // namespace
}  // namespace kv218
