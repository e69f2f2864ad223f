// The log's context menu on real controls: "Save Log..." writes the lines as shown into a text
// file (also in a folder with a non-ASCII name), an unwritable file is reported in the error
// box, and "Copy" puts the selection, or the whole log, on the clipboard.

#include <filesystem>

#include "ground/regular_file.h"
#include "modal_watch.h"
#include "ui/win32/wide_text.h"
#include "window_fixture.h"

namespace kv218::test {
namespace {

class LogMenuTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    LogPane& log = form_->Memo1();
    log.AppendLog("Loading C:\\m\xC3\xBC\\tk_series.hex ...");
    log.AppendToLastLine(" OK");
    log.AppendLog("<<NOTE>> FKV-218\r\nV1.3");
  }

  // Right-clicks the log and picks the entry called pick (none: closes the menu); returns the
  // menu's entries.
  std::vector<std::wstring> RightClickAndPick(const std::wstring& pick) {
    std::vector<std::wstring> entries;
    ModalWatch menu(PickFromMenu(entries, pick));
    POINT at{20, 20};
    ClientToScreen(form_->Memo1().Handle(), &at);
    SendMessageW(form_->Memo1().Handle(), WM_CONTEXTMENU,
                 reinterpret_cast<WPARAM>(form_->Memo1().Handle()), MAKELPARAM(at.x, at.y));
    EXPECT_TRUE(menu.Done());
    return entries;
  }

  static std::string FileText(const std::string& path) {
    const FileRead read = ReadRegularFile(path, 1 << 20);
    return read.ok() ? read.text : "missing";
  }

  static std::wstring ClipboardText() {
    std::wstring text = L"(none)";
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
      text = static_cast<const wchar_t*>(GlobalLock(data));
      GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
  }

  const std::string shown =
      "Loading C:\\m\xC3\xBC\\tk_series.hex ... OK\r\n<<NOTE>> FKV-218\r\nV1.3\r\n";
};

// The pane keeps the last lines only, so a shift's log does not grow without bound; the saved
// log is whole all the same, and the step line is still completed and coloured in place.
TEST_F(LogMenuTest, ThePaneKeepsTheLastLinesAndTheSavedLogIsWhole) {
  MakeForm();  // an empty log
  LogPane& log = form_->Memo1();
  log.SetKeptLines(20);
  std::string whole;
  for (int i = 0; i < 100; ++i) {
    const std::string line = std::to_string(i) + ". Programming Program Memory ...";
    log.AppendLog(line);
    log.AppendAside("<<NOTE>> aside");
    log.AppendToLastLine(" OK");
    whole += line + " OK\r\n<<NOTE>> aside\r\n";
  }
  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 20u);  // a twentieth of 20 over the bound: each line trims at once
  EXPECT_EQ(lines.back(), "<<NOTE>> aside");
  EXPECT_EQ(lines[lines.size() - 2], "99. Programming Program Memory ... OK");
  log.ColourStepLine(kSucceededColour);
  EXPECT_EQ(log.LineColour(lines.size() - 2), kSucceededColour);
  EXPECT_EQ(log.LogFileText(), whole);
}

TEST_F(LogMenuTest, MenuOffersSaveLogCopyAndTheVerifications) {
  EXPECT_EQ(
      RightClickAndPick(L""),
      (std::vector<std::wstring>{L"Save Log...", L"Copy", L"Verify Target", L"Verify KV-218"}));

  // From the keyboard (Shift+F10) the menu opens on the log, at its caret.
  const HWND log = form_->Memo1().Handle();
  SetFocus(log);
  RECT menuBox{};
  ModalWatch menu([&menuBox] {
    HWND window = nullptr;
    if (OpenMenuEntries(&window).empty()) return false;
    GetWindowRect(window, &menuBox);
    PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    return true;
  });
  SendMessageW(log, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(log), MAKELPARAM(-1, -1));
  ASSERT_TRUE(menu.Done());
  RECT logBox;
  GetWindowRect(log, &logBox);
  EXPECT_TRUE(PtInRect(&logBox, POINT{menuBox.left, menuBox.top}));
}

TEST_F(LogMenuTest, SaveLogWritesTheLinesAsShownIntoAFolderWithANonAsciiName) {
  const std::filesystem::path folder = folder_ / u8"Protokoll \u00FC \u65E5\u672C";
  std::filesystem::create_directories(folder);
  const std::string path = Utf8FromPath(folder / "kv218tool-log.txt");
  logChoice_ = path;
  RightClickAndPick(L"Save Log...");
  EXPECT_EQ(FileText(path), shown);

  // Saving again replaces the file with the log as it now stands.
  form_->Memo1().AppendLog("PROGRAMMING SUCCEEDED. (1/2/2026 10:00:00 AM)");
  RightClickAndPick(L"Save Log...");
  EXPECT_EQ(FileText(path), shown + "PROGRAMMING SUCCEEDED. (1/2/2026 10:00:00 AM)\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}

TEST_F(LogMenuTest, CancelledSaveWritesNothing) {
  logChoice_.reset();
  RightClickAndPick(L"Save Log...");
  for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
    EXPECT_EQ(entry.path().filename(), "kv218tool.INI");
  }
}

TEST_F(LogMenuTest, UnwritableLogFileIsReportedAndTheWindowGoesOn) {
  const std::string path = Utf8FromPath(folder_ / "no-such-folder" / "run.txt");
  logChoice_ = path;
  std::wstring title;
  std::wstring text;
  ModalWatch box(AnswerMessageBox(title, text));
  RightClickAndPick(L"Save Log...");
  EXPECT_TRUE(box.Done());
  EXPECT_EQ(title, L"Firmware Upgrade Application");
  EXPECT_EQ(text, L"Unable to write to " + WideText(path));
  EXPECT_FALSE(std::filesystem::exists(PathFromUtf8(path)));

  // The double click still asks the programmer for its note.
  SendMessageW(form_->Memo1().Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
  form_->loop().PumpMessages();
  EXPECT_EQ(Lines().back(), "<<NOTE>> F" + model_.Options().note);
}

TEST_F(LogMenuTest, CopyTakesTheSelectionOrTheWholeLog) {
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();  // nothing left from an earlier copy
    CloseClipboard();
  }
  RightClickAndPick(L"Copy");
  EXPECT_EQ(ClipboardText(),
            L"Loading C:\\m\u00FC\\tk_series.hex ... OK\r\n<<NOTE>> FKV-218\r\nV1.3");

  // The last line selected, as the mouse would.
  const HWND edit = form_->Memo1().Handle();
  const int length = GetWindowTextLengthW(edit);
  SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(length - 4), length);
  RightClickAndPick(L"Copy");
  EXPECT_EQ(ClipboardText(), L"V1.3");
}

// "Verify Target" checks the loaded file against the board it programmed, reading only;
// "Verify KV-218" the programmer's flash, which holds no image yet.
TEST_F(LogMenuTest, TheVerificationsReadTheBoardAndTheProgrammer) {
  const std::string cradle = KV218_EXAMPLES_DIR "/cradle_set.hex";
  form_->ComboBox1().SetItemIndex(2);
  Load(cradle);
  Click(form_->BitBtn2(), layout::kIdBitBtn2);
  ASSERT_EQ(form_->controller().LastOutcome(), RunOutcome::Succeeded);
  frames_.clear();
  RightClickAndPick(L"Verify Target");
  EXPECT_EQ(form_->controller().LastOutcome(), RunOutcome::Succeeded);
  EXPECT_EQ(Lines().back().rfind("VERIFY SUCCEEDED. (", 0), 0u) << Lines().back();
  for (sim::Command command : frames_) {
    EXPECT_TRUE(command == sim::Command::BeginRun || command == sim::Command::ReadDeviceId ||
                command == sim::Command::ReadStart || command == sim::Command::ReadData ||
                command == sim::Command::EndRun)
        << static_cast<int>(command);
  }
  RightClickAndPick(L"Verify KV-218");
  EXPECT_EQ(form_->controller().LastOutcome(), RunOutcome::Failed);
  const std::vector<std::string> lines = Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2].rfind("First difference at 0x0000: file ", 0), 0u);
  EXPECT_TRUE(IsWindowEnabled(form_->BitBtn2().Handle()));
}

}  // namespace
}  // namespace kv218::test
