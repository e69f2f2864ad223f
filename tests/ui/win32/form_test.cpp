// Form1 on real Win32 controls: the layout of the design, the window ops, a load and a full
// type-0 target run against the simulated programmer, a close during a run, and files named on
// the command line or dropped on the window.

#include "window_fixture.h"

#include <commctrl.h>
#include <shlobj.h>

#include "modal_watch.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "ground/utf8.h"
#include "ui/win32/wide_text.h"

namespace kv218::test {
namespace {

const std::string kExample = KV218_EXAMPLES_DIR "/tk_series.hex";

// The control's rectangle in the form's client coordinates.
RECT PlaceOf(HWND control) {
  RECT box;
  GetWindowRect(control, &box);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&box), 2);
  return box;
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// Lines from `from` on against expected prefixes; a prefix ending in "(" must be closed by a
// date and time and ")".
void ExpectLines(const std::vector<std::string>& lines, std::size_t from,
                 const std::vector<std::string>& expected) {
  ASSERT_GE(lines.size(), from + expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const std::string& line = lines[from + i];
    SCOPED_TRACE(line);
    if (expected[i].empty()) {
      EXPECT_TRUE(line.empty());
    } else if (expected[i].back() == '(') {
      EXPECT_EQ(line.rfind(expected[i], 0), 0u);
      EXPECT_EQ(line.back(), ')');
      EXPECT_GT(line.size(), expected[i].size() + 1);  // the time stamp
    } else {
      EXPECT_EQ(line.rfind(expected[i], 0), 0u);
    }
  }
}

// Drops path on the window as the shell does (WM_DROPFILES with the file list it allocates);
// the window frees the list.
void DropFile(HWND window, const std::string& path) {
  const std::wstring wide = WideText(path);
  // Zeroed, so the list ends with the two NULs it needs.
  const HGLOBAL list = GlobalAlloc(GHND, sizeof(DROPFILES) + (wide.size() + 2) * sizeof(wchar_t));
  auto* files = static_cast<DROPFILES*>(GlobalLock(list));
  files->pFiles = sizeof(DROPFILES);
  files->fWide = TRUE;
  std::memcpy(files + 1, wide.c_str(), wide.size() * sizeof(wchar_t));
  GlobalUnlock(list);
  SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(list), 0);
}

// The width text takes in the control's own font.
int TextWidth(HWND control, const std::wstring& text) {
  HDC dc = GetDC(control);
  const HGDIOBJ old =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return extent.cx;
}

// The window at each common scale (as a move to a screen of that scale tells it): every
// control at its design place scaled, the fonts and pictures scaled, and no text cut.
TEST_F(WindowTest, ScalesToTheScreensDotsPerInchWithNoTextCut) {
  for (const int dpi : {96, 120, 144, 192, 96}) {
    SCOPED_TRACE(dpi);
    RECT outer{0, 0, layout::Scaled(layout::kClientWidth, dpi),
               layout::Scaled(layout::kClientHeight, dpi)};
    AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_ACCEPTFILES);
    OffsetRect(&outer, 10 - outer.left, 30 - outer.top);
    SendMessageW(form_->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(&outer));
    EXPECT_EQ(form_->Dpi(), dpi);
    RECT client;
    GetClientRect(form_->Handle(), &client);
    EXPECT_EQ(client.right, layout::Scaled(layout::kClientWidth, dpi));
    EXPECT_EQ(client.bottom, layout::Scaled(layout::kClientHeight, dpi));
    for (const auto& [box, control] :
         {std::pair{layout::kBitBtn1, form_->BitBtn1().Handle()},
          std::pair{layout::kBitBtn3, form_->BitBtn3().Handle()},
          std::pair{layout::kMemo1, form_->Memo1().Handle()},
          std::pair{layout::kComboBox1, form_->ComboBox1().Handle()}}) {
      const layout::Box scaled = layout::Scaled(box, dpi);
      const RECT place = PlaceOf(control);
      EXPECT_EQ(place.left, scaled.left);
      EXPECT_EQ(place.top, scaled.top);
      EXPECT_EQ(place.right, scaled.right());
    }
    // Every item whole in its selector's field.
    for (SelectorBox* box : {&form_->ComboBox1(), &form_->ComboBox2()}) {
      COMBOBOXINFO info{};
      info.cbSize = sizeof info;
      ASSERT_TRUE(GetComboBoxInfo(box->Handle(), &info));
      const int room = info.rcItem.right - info.rcItem.left;
      const auto count = static_cast<int>(SendMessageW(box->Handle(), CB_GETCOUNT, 0, 0));
      for (int index = 0; index < std::min(count, 20); ++index) {
        wchar_t item[64] = {};
        SendMessageW(box->Handle(), CB_GETLBTEXT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(item));
        EXPECT_LE(TextWidth(box->Handle(), item), room) << TextOf(box->Handle());
      }
    }
    // The status panels' texts clear of the dividers, a margin on either side.
    const HWND bar = form_->StatusBar1().Handle();
    const struct {
      int panel;
      const wchar_t* text;
    } panels[] = {{0, L"PORT"}, {1, L"COM20"}, {3, L"checksum"}, {4, L"3ABD"}, {4, L"N/A"}};
    for (const auto& p : panels) {
      RECT part{};
      SendMessageW(bar, SB_GETRECT, static_cast<WPARAM>(p.panel), reinterpret_cast<LPARAM>(&part));
      EXPECT_LE(TextWidth(bar, p.text) + 2 * layout::Scaled(2, dpi), part.right - part.left)
          << p.panel;
    }
    // The pictures drawn at the scale, not stretched.
    BITMAP picture{};
    GetObjectW(form_->BitBtn2().ShownPicture(), sizeof picture, &picture);
    EXPECT_EQ(picture.bmWidth, layout::Scaled(kPictureSize, dpi));
    LOGFONTW log{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(form_->Memo1().Handle(), WM_GETFONT, 0, 0)),
               sizeof log, &log);
    EXPECT_LE(-log.lfHeight, layout::Scaled(13, dpi));
    EXPECT_GE(-log.lfHeight, layout::Scaled(12, dpi));
  }
}

// A disabled button shows its picture greyed, not a blank square: the window draws it.
TEST_F(WindowTest, DisabledButtonsShowTheirGreyedPictures) {
  PictureButton& button = form_->BitBtn2();
  EXPECT_EQ(GetWindowLongW(button.Handle(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  const auto coloursOf = [](HBITMAP bitmap) {
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = info.bmWidth;
    format.bmiHeader.biHeight = -info.bmHeight;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(info.bmWidth) * info.bmHeight);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), pixels.data(), &format,
              DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    std::sort(pixels.begin(), pixels.end());
    return std::unique(pixels.begin(), pixels.end()) - pixels.begin();
  };
  const HBITMAP normal = button.ShownPicture();
  button.SetEnabled(false);
  const HBITMAP greyed = button.ShownPicture();
  EXPECT_NE(greyed, normal);
  EXPECT_GT(coloursOf(greyed), 16);  // a picture, not a flat square
  button.SetEnabled(true);
  EXPECT_EQ(button.ShownPicture(), normal);
}

TEST_F(WindowTest, ControlsSitAtTheirDesignPlacesInTheDesignClientArea) {
  TForm1& form = *form_;
  EXPECT_EQ(TextOf(form.Handle()), L"KV-218  tool  v1.85.11");
  RECT client;
  GetClientRect(form.Handle(), &client);
  EXPECT_EQ(client.right, layout::kClientWidth);
  EXPECT_EQ(client.bottom, layout::kClientHeight);

  struct Case {
    const char* name;
    HWND control;
    layout::Box box;
  };
  const Case cases[] = {
      {"BitBtn1", form.BitBtn1().Handle(), layout::kBitBtn1},
      {"BitBtn2", form.BitBtn2().Handle(), layout::kBitBtn2},
      {"BitBtn3", form.BitBtn3().Handle(), layout::kBitBtn3},
      {"Memo1", form.Memo1().Handle(), layout::kMemo1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RECT place = PlaceOf(c.control);
    EXPECT_EQ(place.left, c.box.left);
    EXPECT_EQ(place.top, c.box.top);
    EXPECT_EQ(place.right, c.box.right());
    EXPECT_EQ(place.bottom, c.box.bottom());
  }
  // A selector's height is its edit field's; its left, top and width are the design's.
  for (const auto& [box, control] : {std::pair{layout::kComboBox1, form.ComboBox1().Handle()},
                                     std::pair{layout::kComboBox2, form.ComboBox2().Handle()}}) {
    const RECT place = PlaceOf(control);
    EXPECT_EQ(place.left, box.left);
    EXPECT_EQ(place.top, box.top);
    EXPECT_EQ(place.right, box.right());
  }

  // The status bar spans the bottom edge below the log, in five panels.
  const RECT bar = PlaceOf(form.StatusBar1().Handle());
  EXPECT_EQ(bar.left, 0);
  EXPECT_EQ(bar.right, layout::kClientWidth);
  EXPECT_EQ(bar.bottom, layout::kClientHeight);
  EXPECT_GE(bar.top, layout::kMemo1.bottom());
  int edges[8] = {};
  ASSERT_EQ(
      SendMessageW(form.StatusBar1().Handle(), SB_GETPARTS, 8, reinterpret_cast<LPARAM>(edges)), 5);
  EXPECT_EQ((std::vector<int>(edges, edges + 5)), (std::vector<int>{35, 85, 275, 335, -1}));
}

// A stand-alone run's verdict, which the programmer reports as a line aside, is coloured as the
// window's own runs' closing lines are; other lines aside are not.
TEST_F(WindowTest, StandaloneVerdictLinesAreColouredAsTheWindowsOwn) {
  WindowOps& ops = form_->ops();
  ops.AppendLog("step ...");
  const struct {
    const char* line;
    COLORREF colour;
  } cases[] = {
      {"PROGRAMMING SUCCEEDED. (12/11/2026 10:00:00 AM)", kSucceededColour},
      {"PROGRAMMING FAILED. (12/11/2026 10:00:00 AM)", kFailedColour},
      {"1. Check Device Ready ( 0x05 )", GetSysColor(COLOR_WINDOWTEXT)},
  };
  for (const auto& c : cases) {
    ops.AppendAside(c.line);
    EXPECT_EQ(form_->Memo1().LineColour(Lines().size() - 1), c.colour) << c.line;
  }
  ops.AppendToLastLine(" OK");  // the step line stays plain
  EXPECT_EQ(form_->Memo1().LineColour(0), GetSysColor(COLOR_WINDOWTEXT));
}

TEST_F(WindowTest, StartsFromTheSettingsFile) {
  EXPECT_EQ(form_->StatusBar1().PanelText(0), L"PORT");
  EXPECT_EQ(form_->StatusBar1().PanelText(1), L"COM3");
  EXPECT_EQ(form_->StatusBar1().PanelText(3), L"checksum");
  EXPECT_EQ(form_->ComboBox2().ItemIndex(), 2);
  EXPECT_EQ(form_->ComboBox1().ItemIndex(), 0);
  EXPECT_TRUE(form_->controller().PortOpen());
  EXPECT_TRUE(Lines().empty());
}

TEST_F(WindowTest, WindowOpsDrawOnTheControls) {
  WindowOps& ops = form_->ops();
  // With nothing logged, completing the last line starts the first.
  ops.AppendToLastLine("Loading ... ");
  ops.AppendToLastLine("OK");
  // A line break inside a text starts a new line; bytes that are not UTF-8 show as Latin-1.
  ops.AppendLog("<<NOTE>> F1\r\nF2");
  ops.AppendLog("caf\xC3\xA9");
  ops.AppendLog("\xE9t\xE9");
  // A report the programmer volunteers mid-step: the step's result still goes to its line.
  ops.AppendLog("3. Verify Flash Memory ... ");
  ops.AppendAside("<<REPORT>>");
  ops.AppendToLastLine("NG");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"Loading ... OK", "<<NOTE>> F1", "F2", "caf\xC3\xA9",
                                               "\xC3\xA9t\xC3\xA9", "3. Verify Flash Memory ... NG",
                                               "<<REPORT>>"}));

  ops.SetPanelText(4, "3ABD");
  EXPECT_EQ(form_->StatusBar1().PanelText(4), L"3ABD");
  ops.SetPanelText(2, "hidden");  // the gauge's panel shows no text
  EXPECT_EQ(form_->StatusBar1().PanelText(2), L"");
  for (const auto& [set, shown] : {std::pair{150, 100}, std::pair{-5, 0}, std::pair{42, 42}}) {
    ops.SetProgress(set);
    EXPECT_EQ(form_->StatusBar1().Progress(), shown);
  }

  ops.SetButtonsEnabled(false);
  for (PictureButton* button : {&form_->BitBtn1(), &form_->BitBtn2(), &form_->BitBtn3()}) {
    EXPECT_FALSE(IsWindowEnabled(button->Handle()));
  }
  ops.SetButtonsEnabled(true);
  for (PictureButton* button : {&form_->BitBtn1(), &form_->BitBtn2(), &form_->BitBtn3()}) {
    EXPECT_TRUE(IsWindowEnabled(button->Handle()));
  }

  // The target type is the type selector's item; nothing selected is no type.
  EXPECT_EQ(ItemIndexOf(ops.SelectedType()), 0);
  form_->ComboBox1().SetItemIndex(-1);
  EXPECT_EQ(ItemIndexOf(ops.SelectedType()), -1);
  form_->ComboBox1().SetItemIndex(1);
  EXPECT_EQ(ItemIndexOf(ops.SelectedType()), 1);
}

TEST_F(WindowTest, LoadsAndProgramsATypeZeroTarget) {
  Load(kExample);
  ASSERT_EQ(Lines().size(), 3u);
  const std::string loaded = Lines()[2];
  ASSERT_EQ(loaded.rfind("Loading ... OK", 0), 0u) << loaded;
  EXPECT_EQ(form_->StatusBar1().PanelText(4), L"3ABD");

  // The run: the click returns when the run is over.
  frames_.clear();
  Click(form_->BitBtn2(), layout::kIdBitBtn2);
  ExpectLines(
      Lines(), 3,
      {"", kExample, loaded, "", "PROGRAMMING TARGET ... (", "1. Reading Device ID ... OK",
       "2. Bulk Erasing ... OK", "3. Programming Program Memory ... OK",
       "4. Reading Program Memory ... OK", "5. Verify Program Memory ... OK",
       "6. Programming Configuration Bits ... OK", "7. Reading Configuration Bits ... OK",
       "8. Verify Configuration Bits ... OK", "9. Resetting ... OK", "PROGRAMMING SUCCEEDED. ("});
  EXPECT_EQ(Lines().size(), 3u + 15u);
  EXPECT_EQ(form_->controller().LastOutcome(), RunOutcome::Succeeded);
  EXPECT_TRUE(IsWindowEnabled(form_->BitBtn2().Handle()));
  EXPECT_EQ(form_->StatusBar1().Progress(), 100);
  ASSERT_FALSE(frames_.empty());
  EXPECT_EQ(frames_.front(), sim::Command::BeginRun);
  EXPECT_EQ(frames_.back(), sim::Command::EndRun);

  // The programmer's note, asked for by a double click on the log, arrives as a message.
  const std::size_t before = Lines().size();
  SendMessageW(form_->Memo1().Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  form_->loop().PumpMessages();
  ASSERT_GT(Lines().size(), before);
  EXPECT_EQ(Lines().back(), "<<NOTE>> F" + model_.Options().note);
}

TEST_F(WindowTest, ACloseDuringARunEndsItAndThenClosesTheWindow) {
  const HWND window = form_->Handle();
  // COM5 picked, as the operator picks it.
  form_->ComboBox2().SetItemIndex(4);
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(layout::kIdComboBox2, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(form_->ComboBox2().Handle()));
  Load(kExample);
  // Closed during the erase; the operator is asked first (a box of its own that the run does
  // not wait for) and says yes while the write's start is in flight.
  std::wstring title, question;
  bool erasing = false;
  bool answered = false;
  onFrame_ = [&](const sim::Frame& frame) {
    if (frame.command == sim::Command::BulkErase) {
      erasing = true;
      PostMessageW(window, WM_CLOSE, 0, 0);
      return;
    }
    if (!erasing || answered) return;
    answered = true;
    const HWND box = form_->stopQuestion().WaitForBox(std::chrono::seconds(10));
    ASSERT_NE(box, nullptr);
    AnswerBox(box, title, question, IDYES);
    EXPECT_TRUE(form_->stopQuestion().WaitForAnswer(std::chrono::seconds(10)));
  };
  frames_.clear();
  Click(form_->BitBtn2(), layout::kIdBitBtn2);
  onFrame_ = nullptr;
  EXPECT_TRUE(answered);
  EXPECT_EQ(question, EditText(Controller::kStopRunQuestion));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(form_->controller().LastOutcome(), RunOutcome::Interrupted);
  ASSERT_FALSE(frames_.empty());
  EXPECT_EQ(frames_.back(), sim::Command::EndRun);
  EXPECT_EQ(std::count(frames_.begin(), frames_.end(), sim::Command::WriteData), 0);
  EXPECT_EQ(ReadSettings(SettingsPath()).Com, 4);  // saved at the close
}

TEST_F(WindowTest, AFileNamedAtStartOrDroppedLoadsAsTheLoadButtonLoadsIt) {
  // Loaded with the type the settings file selects: a file read as another type logs another
  // result.
  Settings settings = ReadSettings(SettingsPath());
  settings.Type = 2;
  ASSERT_FALSE(WriteSettings(SettingsPath(), settings).has_value());
  const std::string cradle = KV218_EXAMPLES_DIR "/cradle_set.hex";
  MakeForm();
  Load(cradle);
  const std::vector<std::string> byButton = Lines();
  ASSERT_EQ(byButton.size(), 3u);
  ASSERT_EQ(byButton[2].rfind("Loading ... OK", 0), 0u) << byButton[2];
  const std::wstring checksum = form_->StatusBar1().PanelText(4);

  MakeForm(cradle);
  EXPECT_EQ(form_->ComboBox1().ItemIndex(), 2);
  EXPECT_EQ(Lines(), byButton);
  EXPECT_EQ(form_->StatusBar1().PanelText(4), checksum);

  // Then dropped, from a folder with a non-ASCII name: the same lines under that name.
  const std::string copy = Utf8FromPath(folder_ / "cradle série.hex");
  std::filesystem::copy_file(PathFromUtf8(cradle), PathFromUtf8(copy));
  DropFile(form_->Handle(), copy);
  ASSERT_EQ(Lines().size(), 6u);
  EXPECT_EQ(Lines()[3], "");
  EXPECT_EQ(Lines()[4], copy);
  EXPECT_EQ(Lines()[5], byButton[2]);
  EXPECT_EQ(form_->controller().station().HexFileName, copy);
}

TEST_F(WindowTest, ADropDuringARunIsRefusedWithAWarning) {
  Load(kExample);
  const HWND window = form_->Handle();
  const std::string dropped = Utf8FromPath(folder_ / "other.hex");
  onFrame_ = [window, dropped](const sim::Frame& frame) {
    if (frame.command == sim::Command::BulkErase) DropFile(window, dropped);
  };
  Click(form_->BitBtn2(), layout::kIdBitBtn2);
  EXPECT_EQ(form_->controller().LastOutcome(), RunOutcome::Succeeded);
  const std::vector<std::string> lines = Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(),
                       "<<WARNING>> A run is in progress; " + dropped + " was not loaded"),
            1);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "2. Bulk Erasing ... OK"), lines.end());
  EXPECT_EQ(form_->controller().station().HexFileName, kExample);
}

TEST(CommandLineTest, TheFirstArgumentIsTheFileToOpenMadeAbsolute) {
  wchar_t folder[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, folder), 0u);
  std::string here = Utf8FromWide(folder);
  if (here.back() != '\\') here += '\\';
  const struct {
    const wchar_t* commandLine;
    std::string file;
  } cases[] = {
      {L"kv218tool.exe", ""},
      {L"kv218tool.exe \"\"", ""},
      {L"\"C:\\Program Files\\kv218tool\\kv218tool.exe\" \"D:\\Prüfplatz\\tk series.hex\"",
       "D:\\Prüfplatz\\tk series.hex"},
      {L"kv218tool.exe D:\\a.hex D:\\b.hex", "D:\\a.hex"},
      {L"kv218tool.exe tk.hex", here + "tk.hex"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf8FromWide(c.commandLine));
    EXPECT_EQ(FileNamedOnCommandLine(c.commandLine), c.file);
  }
}

}  // namespace
}  // namespace kv218::test
