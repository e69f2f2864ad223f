// Form1 against its design: places, sizes, texts, items, tab order, the status panels and the
// gauge, fonts.

#include <QAbstractTextDocumentLayout>
#include <QFontInfo>
#include <QLabel>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QWindow>

#include "form_fixture.h"

namespace kv218::test {
namespace {

using LayoutTest = FormTest;

TEST_F(LayoutTest, WindowHasItsCaptionTitleSizeAndPlace) {
  TForm1& form = MakeForm();
  EXPECT_EQ(form.objectName(), "Form1");
  EXPECT_EQ(form.windowTitle(), "KV-218  tool  v1.85.11");
  EXPECT_EQ(form.size(), QSize(391, 322));  // the client area inside the 399 x 352 frame
  EXPECT_EQ(form.pos(), QPoint(10, 30));
  EXPECT_EQ(form.backgroundRole(), QPalette::Button);
  EXPECT_EQ(form.font().pixelSize(), 11);
  EXPECT_TRUE(form.windowFlags() & Qt::WindowMaximizeButtonHint);  // an ordinary sizeable frame
}

TEST_F(LayoutTest, PlatformGetsTheCaptionAloneAndTheDesktopTheApplicationTitle) {
  TForm1& form = MakeForm();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_EQ(form.windowHandle()->title(), "KV-218  tool  v1.85.11");
  // The X11 and Windows platforms append the application display name to every window's title
  // whenever one was set; none is, so it keeps following the application name.
  const QString name = QCoreApplication::applicationName();
  EXPECT_EQ(name, "Firmware Upgrade Application");  // the class of the X11 window class
  QCoreApplication::setApplicationName("probe");
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), "probe");
  QCoreApplication::setApplicationName(name);
  EXPECT_EQ(QGuiApplication::desktopFileName(), "kv218tool");
}

TEST_F(LayoutTest, ControlsSitAtTheirDesignPlaces) {
  struct Place {
    const char* name;
    QRect geometry;
  };
  const Place places[] = {
      {"BitBtn1", {8, 8, 89, 90}},      {"BitBtn2", {200, 8, 89, 90}},
      {"BitBtn3", {296, 8, 89, 90}},    {"Image1", {107, 54, 33, 25}},
      {"ComboBox2", {128, 52, 65, 21}}, {"ComboBox1", {104, 76, 89, 21}},
      {"Memo1", {8, 104, 377, 193}},    {"StatusBar1", {0, 303, 391, 19}},
  };
  TForm1& form = MakeForm();
  for (const Place& place : places) {
    SCOPED_TRACE(place.name);
    auto* control = form.findChild<QWidget*>(place.name);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->parentWidget(), &form);
    EXPECT_EQ(control->geometry(), place.geometry);
  }
}

TEST_F(LayoutTest, ButtonsShowPicturesWithoutCaptions) {
  TForm1& form = MakeForm();
  for (QPushButton* button : {form.BitBtn1, form.BitBtn2, form.BitBtn3}) {
    SCOPED_TRACE(button->objectName().toStdString());
    EXPECT_TRUE(button->text().isEmpty());
    EXPECT_EQ(button->iconSize(), QSize(80, 80));
    EXPECT_FALSE(button->icon().isNull());
    EXPECT_TRUE(button->isEnabled());
  }
  ASSERT_FALSE(form.Image1->pixmap().isNull());
  EXPECT_EQ(form.Image1->pixmap().size(), QSize(16, 16));
}

TEST_F(LayoutTest, SelectorsHoldTheirItems) {
  TForm1& form = MakeForm();
  QStringList ports;
  for (int i = 1; i <= 20; ++i) ports << QString("COM%1").arg(i);
  const QStringList types{"TK Series", "MVRx Series", "Cradle Set", "Eco Mode"};
  const struct {
    SelectorBox* box;
    QStringList items;
  } selectors[] = {{form.ComboBox2, ports}, {form.ComboBox1, types}};
  for (const auto& selector : selectors) {
    SCOPED_TRACE(selector.box->objectName().toStdString());
    QStringList items;
    for (int i = 0; i < selector.box->count(); ++i) items << selector.box->itemText(i);
    EXPECT_EQ(items, selector.items);
    EXPECT_FALSE(selector.box->isEditable());  // a list to pick from, nothing to type into
    EXPECT_EQ(selector.box->ItemIndex(), 0);   // no settings file: item 0
    EXPECT_EQ(selector.box->currentText(), selector.items.front());
  }
}

TEST_F(LayoutTest, TabWalksLogButtonsTypeAndPort) {
  TForm1& form = MakeForm();
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  const QList<QWidget*> order{form.Memo1,     form.BitBtn1,   form.BitBtn2, form.BitBtn3,
                              form.ComboBox1, form.ComboBox2, form.Memo1};
  ASSERT_TRUE(form.Memo1->hasFocus());  // first in the tab order
  for (int i = 1; i < order.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* focused = QApplication::focusWidget();
    while (focused != nullptr && focused->parentWidget() != &form) {
      focused = focused->parentWidget();
    }
    EXPECT_EQ(focused, order[i]) << "step " << i;
  }
}

TEST_F(LayoutTest, StatusPanelsHaveTheirWidthsAndTexts) {
  adapter_.SetOpens(false);  // panel 1 keeps its design text
  TForm1& form = MakeForm();
  const struct {
    int width;
    const char* text;
  } panels[] = {{35, "PORT"}, {50, "N/A"}, {190, "processbar"}, {60, "checksum"}, {35, "N/A"}};
  ASSERT_EQ(form.StatusBar1->PanelCount(), 5);
  int left = 0;
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(form.StatusBar1->PanelWidth(i), panels[i].width);
    EXPECT_EQ(form.StatusBar1->PanelText(i), panels[i].text);
    // Each panel starts where the ones before it end (inside a 1-pixel frame).
    EXPECT_EQ(form.StatusBar1->PanelRect(i).left(), left + 1);
    left += panels[i].width;
  }
  // Like the native bar, the last panel reaches to the right edge.
  EXPECT_EQ(form.StatusBar1->PanelRect(4).right(), form.StatusBar1->width() - 2);
}

TEST_F(LayoutTest, GaugeSitsInPanelTwoAndFollowsTheBar) {
  TForm1& form = MakeForm();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  const struct { QSize client; } sizes[] = {{{391, 322}}, {{640, 480}}, {{300, 200}}, {{391, 322}}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(size.client.width());
    form.resize(size.client);
    QApplication::processEvents();
    const QRect panel = form.StatusBar1->PanelRect(2);
    EXPECT_EQ(form.StatusBar1->geometry(),
              QRect(0, size.client.height() - 19, size.client.width(), 19));
    EXPECT_EQ(form.CGauge1->parentWidget(), form.StatusBar1);
    EXPECT_TRUE(form.CGauge1->isVisible());
    EXPECT_EQ(form.CGauge1->geometry(), QRect(panel.topLeft(), QSize(186, panel.height())));
    EXPECT_EQ(panel.width(), 186);
    // The other controls keep their places at every size.
    EXPECT_EQ(form.Memo1->geometry(), QRect(8, 104, 377, 193));
    EXPECT_EQ(form.BitBtn3->geometry(), QRect(296, 8, 89, 90));
  }
}

TEST_F(LayoutTest, LogPaneIsAReadOnlyWrappingMonospacedPane) {
  TForm1& form = MakeForm();
  LogPane& memo = *form.Memo1;
  EXPECT_TRUE(memo.isReadOnly());
  EXPECT_TRUE(memo.Lines().isEmpty());
  EXPECT_EQ(memo.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(memo.lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_EQ(memo.font().pixelSize(), 13);
  EXPECT_TRUE(QFontInfo(memo.font()).fixedPitch());
  EXPECT_EQ(memo.font().families().front(), "Consolas");
}

// A step's values end in " )": however the line falls at the pane's edge, the bracket goes to
// the next row with the value before it, never alone.
TEST_F(LayoutTest, AClosingBracketNeverWrapsOnItsOwn) {
  TForm1& form = MakeForm();
  form.show();
  LogPane& log = *form.Memo1;
  int wrapped = 0;
  for (int filler = 20; filler <= 70; ++filler) {
    log.AppendLog(std::string(static_cast<std::size_t>(filler), 'x') + " ( 0xBF , 0x2118 )");
    const QTextBlock block = log.document()->lastBlock();
    log.document()->documentLayout()->blockBoundingRect(block);  // lays the block out
    const QTextLayout* lines = block.layout();
    ASSERT_GT(lines->lineCount(), 0);
    if (lines->lineCount() > 1) ++wrapped;
    const int bracket = block.length() - 2;  // the last character
    EXPECT_EQ(
        lines->lineForTextPosition(bracket).lineNumber(),
        lines->lineForTextPosition(static_cast<int>(block.text().lastIndexOf('8'))).lineNumber())
        << block.text().toStdString();
  }
  EXPECT_GT(wrapped, 0);  // the pane's edge was met
  // The text itself is as logged.
  EXPECT_EQ(log.Lines().last(), QString(70, 'x') + " ( 0xBF , 0x2118 )");
}

TEST_F(LayoutTest, FormFontFallsBackToASansFace) {
  TForm1& form = MakeForm();
  EXPECT_EQ(form.font().families().front(), "MS Sans Serif");
  EXPECT_FALSE(QFontInfo(form.font()).fixedPitch());
}

}  // namespace
}  // namespace kv218::test
