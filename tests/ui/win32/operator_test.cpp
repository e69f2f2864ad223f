// Form1 as a production line's operator meets it: the load's warnings, selectors a run
// disables, the close asked during a run, the coloured verdict and gauge, the port that is not
// open, panel 4 after a type change.

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <utility>
#include <vector>

#include "modal_watch.h"
#include "window_fixture.h"

namespace kv218::test {
namespace {

const std::string kTkSeries = KV218_EXAMPLES_DIR "/tk_series.hex";
const std::string kMvrxSeries = KV218_EXAMPLES_DIR "/mvrx_series.hex";
// Type 2's example lacks the block that lets a type-1 target's read-back verify.
const std::string kCradleSet = KV218_EXAMPLES_DIR "/cradle_set.hex";
const std::wstring kQuestion = L"A run is in progress. Stop it and close?";

class OperatorTest : public WindowTest {
 protected:
  void SelectType(int type) { form_->ComboBox1().SetItemIndex(type); }
  // Picks a type as the operator does: the selector's change reaches the form.
  void PickType(int type) {
    SelectType(type);
    SendMessageW(form_->Handle(), WM_COMMAND, MAKEWPARAM(layout::kIdComboBox1, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(form_->ComboBox1().Handle()));
  }
  std::string WriteFile(const std::string& content) const {
    const auto path = folder_ / "suspect.hex";
    std::ofstream(path, std::ios::binary) << content;
    return Utf8FromPath(path);
  }
};

TEST_F(OperatorTest, SuspectFilesAreWarnedOfAfterTheLoadingLines) {
  const std::vector<std::string> noRecords{"<<WARNING>> No data records",
                                           "<<WARNING>> No end-of-file record"};
  const struct {
    const char* name;
    int type;
    std::string content;
    std::vector<std::string> warnings;
  } cases[] = {
      {"empty", 0, "", noRecords},
      {"saved log", 2, "\r\nC:\\tk.hex\r\nLoading ... OK ( 0x0 - 0x007FFF , 0x79c4 )\r\n",
       noRecords},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MakeForm();
    SelectType(c.type);
    Load(WriteFile(c.content));
    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 3u + c.warnings.size());
    EXPECT_EQ(lines[2].rfind("Loading ... OK ", 0), 0u) << lines[2];
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()), c.warnings);
  }
  // The type-0 example on a 16-bit target: its words above 32 KB have no room there.
  MakeForm();
  SelectType(2);
  Load(kTkSeries);
  ASSERT_EQ(Lines().size(), 4u);
  const std::string warning = Lines()[3];
  EXPECT_EQ(warning.rfind("<<WARNING>> ", 0), 0u) << warning;
  EXPECT_NE(warning.find(" outside the memory of Cradle Set ignored (0x"), std::string::npos);
  EXPECT_TRUE(warning.ends_with("; they fit TK Series)")) << warning;
}

TEST_F(OperatorTest, SelectorsAreDisabledWhileARunGoesOn) {
  Load(kTkSeries);
  std::vector<bool> enabled;
  onFrame_ = [&](const sim::Frame& frame) {
    if (frame.command != sim::Command::BulkErase) return;
    enabled = {IsWindowEnabled(form_->ComboBox1().Handle()) != FALSE,
               IsWindowEnabled(form_->ComboBox2().Handle()) != FALSE};
  };
  Click(form_->BitBtn2(), layout::kIdBitBtn2);
  EXPECT_EQ(enabled, (std::vector<bool>{false, false}));
  EXPECT_TRUE(IsWindowEnabled(form_->ComboBox1().Handle()));
  EXPECT_TRUE(IsWindowEnabled(form_->ComboBox2().Handle()));
}

TEST_F(OperatorTest, ClosingDuringARunAsksFirst) {
  for (const int answer : {IDNO, IDYES}) {
    MakeForm();
    Load(kTkSeries);
    const HWND window = form_->Handle();
    std::wstring title, question;
    int blocks = 0;
    onFrame_ = [&](const sim::Frame& frame) {
      if (frame.command != sim::Command::WriteData) return;
      if (++blocks == 1) SendMessageW(window, WM_CLOSE, 0, 0);
      if (blocks == 2) {
        const HWND box = form_->stopQuestion().WaitForBox(std::chrono::seconds(10));
        ASSERT_NE(box, nullptr);
        EXPECT_FALSE(IsWindowEnabled(window));  // as under a box it owned
        AnswerBox(box, title, question, answer);
      }
      // The answer is on its way before the run goes on.
      if (blocks == 3) {
        EXPECT_TRUE(form_->stopQuestion().WaitForAnswer(std::chrono::seconds(10)));
      }
    };
    Click(form_->BitBtn2(), layout::kIdBitBtn2);
    onFrame_ = nullptr;
    EXPECT_EQ(question, kQuestion);
    EXPECT_EQ(title, kApplicationTitle);
    const bool yes = answer == IDYES;
    EXPECT_EQ(IsWindow(window) != FALSE, !yes);
    EXPECT_EQ(form_->controller().LastOutcome(),
              yes ? RunOutcome::Interrupted : RunOutcome::Succeeded);
  }
}

// The close question left unanswered during a block transfer: the run goes on under it with
// the frames of a run without the question, and the question goes when the run is over. (A
// box on the window thread would hold the run up inside its modal loop: then it is answered
// No after 10 s, and the run has timed out meanwhile.)
TEST_F(OperatorTest, TheCloseQuestionLeavesTheRunAlone) {
  std::vector<sim::Command> runs[2];
  for (const bool ask : {false, true}) {
    MakeForm();
    Load(kTkSeries);
    frames_.clear();
    const HWND window = form_->Handle();
    const auto opened = std::chrono::steady_clock::now();
    std::wstring title, question;
    ModalWatch holdUp([&] {
      if (std::chrono::steady_clock::now() - opened < std::chrono::seconds(10)) return false;
      return AnswerMessageBox(title, question, IDNO)();
    });
    int blocks = 0;
    std::wstring shown;
    onFrame_ = [&](const sim::Frame& frame) {
      if (!ask || frame.command != sim::Command::WriteData) return;
      if (++blocks == 2) SendMessageW(window, WM_CLOSE, 0, 0);
      if (blocks == 4) {
        const HWND box = form_->stopQuestion().WaitForBox(std::chrono::seconds(10));
        wchar_t text[512] = {};
        if (box != nullptr) GetDlgItemTextW(box, 0xFFFF, text, 512);
        shown = text;
      }
    };
    Click(form_->BitBtn2(), layout::kIdBitBtn2);
    onFrame_ = nullptr;
    runs[ask] = frames_;
    EXPECT_EQ(form_->controller().LastOutcome(), RunOutcome::Succeeded);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowEnabled(window));
    if (ask) {
      EXPECT_EQ(shown, kQuestion);
      EXPECT_FALSE(form_->stopQuestion().IsOpen());
    }
  }
  EXPECT_EQ(runs[1], runs[0]);
}

// The session ends during a run: the shutdown is held while the run stops as the close
// question's yes stops it; then the window closes, saving the settings.
TEST_F(OperatorTest, TheSessionsEndStopsTheRunCleanly) {
  Load(kTkSeries);
  const HWND window = form_->Handle();
  LRESULT allowed = TRUE;
  onFrame_ = [&](const sim::Frame& frame) {
    if (frame.command == sim::Command::WriteData && allowed == TRUE) {
      allowed = SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP);
    }
  };
  SelectType(0);
  Click(form_->BitBtn2(), layout::kIdBitBtn2);
  onFrame_ = nullptr;
  EXPECT_EQ(allowed, FALSE);
  EXPECT_EQ(form_->controller().LastOutcome(), RunOutcome::Interrupted);
  EXPECT_EQ(frames_.back(), sim::Command::EndRun);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(OperatorTest, TheVerdictIsGreenOrRedAndTheGaugeRedAfterAFailure) {
  const struct {
    const char* name;
    std::string file;
    const char* closing;
    COLORREF line;
    COLORREF bar;
    const char* nextStep;  // the plain line after the closing line; null: none
  } cases[] = {
      {"succeeded", kMvrxSeries, "PROGRAMMING SUCCEEDED. (", kSucceededColour, kPassedGaugeColour,
       nullptr},
      {"failed", kCradleSet, "PROGRAMMING FAILED. (", kFailedColour, kFailedGaugeColour,
       "<<NEXT STEP>> re-seat the board and program it again; if it fails twice, set it aside"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SelectType(1);
    Load(c.file);
    Click(form_->BitBtn2(), layout::kIdBitBtn2);
    const std::vector<std::string> lines = Lines();
    const std::size_t closing = lines.size() - (c.nextStep == nullptr ? 1 : 2);
    ASSERT_EQ(lines[closing].rfind(c.closing, 0), 0u) << lines[closing];
    if (c.nextStep != nullptr) {
      EXPECT_EQ(lines.back(), c.nextStep);
      EXPECT_EQ(form_->Memo1().LineColour(closing + 1), GetSysColor(COLOR_WINDOWTEXT));
    }
    EXPECT_EQ(form_->Memo1().LineColour(closing), c.line);
    EXPECT_EQ(form_->Memo1().LineColour(closing - 1), GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(form_->StatusBar1().BarColour(), c.bar);
  }
}

TEST_F(OperatorTest, ARunWithThePortNotOpenSaysSoAtOnce) {
  portOpens_ = false;
  MakeForm();
  EXPECT_EQ(form_->StatusBar1().PanelText(1), L"N/A");
  Load(kTkSeries);
  frames_.clear();
  for (const int id : {layout::kIdBitBtn2, layout::kIdBitBtn3}) {
    Click(id == layout::kIdBitBtn2 ? form_->BitBtn2() : form_->BitBtn3(), id);
    const std::vector<std::string> lines = Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "");
    EXPECT_EQ(lines.back(), "<<WARNING>> Port \\\\.\\COM3 is not open");
    EXPECT_TRUE(IsWindowEnabled(form_->BitBtn2().Handle()));
  }
  EXPECT_TRUE(frames_.empty());
}

TEST_F(OperatorTest, PickingAnotherTypeClearsTheChecksumPanel) {
  Load(kTkSeries);
  EXPECT_NE(form_->StatusBar1().PanelText(4), L"N/A");
  PickType(1);
  EXPECT_EQ(form_->StatusBar1().PanelText(4), L"N/A");
}

// The client area a quarter of its size (as a picture across the room looks), and the mean
// colour of a box of the design's layout on it.
class QuarterPicture {
 public:
  explicit QuarterPicture(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    width_ = client.right / 4;
    height_ = client.bottom / 4;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    SetStretchBltMode(memory, HALFTONE);
    StretchBlt(memory, 0, 0, width_, height_, screen, 0, 0, client.right, client.bottom, SRCCOPY);
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    pixels_.assign(pixels, pixels + static_cast<std::size_t>(width_) * height_);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
  }
  // Red, green and blue, a pixel in from the box's edges.
  std::array<int, 3> Mean(const layout::Box& box) const {
    std::array<long, 3> sum{};
    long count = 0;
    for (int y = box.top / 4 + 1; y < box.bottom() / 4 - 1; ++y) {
      for (int x = box.left / 4 + 1; x < box.right() / 4 - 1; ++x) {
        const std::uint32_t pixel = pixels_[static_cast<std::size_t>(y * width_ + x)];
        sum[0] += (pixel >> 16) & 0xFF, sum[1] += (pixel >> 8) & 0xFF, sum[2] += pixel & 0xFF;
        ++count;
      }
    }
    return {static_cast<int>(sum[0] / count), static_cast<int>(sum[1] / count),
            static_cast<int>(sum[2] / count)};
  }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> pixels_;
};

int Distance(const std::array<int, 3>& a, const std::array<int, 3>& b) {
  return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
}

// The five states over a large area, each in its own colour, told apart on a picture of the
// window a quarter of its size: the band above the selectors and the log pane's ground.
TEST_F(OperatorTest, EachStateIsShownOverALargeAreaInAColourOfItsOwn) {
  struct Seen {
    BoardState state;
    std::array<int, 3> band;
    std::array<int, 3> log;
    COLORREF gauge;
  };
  std::vector<Seen> seen;
  const auto look = [&] {
    const QuarterPicture picture(form_->Handle());
    seen.push_back({form_->ShownState().state, picture.Mean(layout::kStateBand),
                    picture.Mean(layout::kMemo1), form_->StatusBar1().BarColour()});
  };
  look();  // no file
  SelectType(1);
  Load(kMvrxSeries);
  look();
  onFrame_ = [&](const sim::Frame& frame) {
    if (frame.command == sim::Command::BulkErase) look();
  };
  Click(form_->BitBtn2(), layout::kIdBitBtn2);
  onFrame_ = nullptr;
  look();
  Load(kCradleSet);  // its read-back does not verify on a type-1 target
  Click(form_->BitBtn2(), layout::kIdBitBtn2);
  look();
  const std::vector<BoardState> states{BoardState::NotReady, BoardState::Ready, BoardState::Running,
                                       BoardState::Pass, BoardState::Fail};
  ASSERT_EQ(seen.size(), states.size());
  for (std::size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].state, states[i]) << i;
    for (std::size_t j = 0; j < i; ++j) {
      EXPECT_GT(Distance(seen[i].band, seen[j].band), 120) << i << " " << j;
      EXPECT_GT(Distance(seen[i].log, seen[j].log), 60) << i << " " << j;
    }
  }
  EXPECT_EQ(seen[1].gauge, kGaugeColour);
  EXPECT_EQ(seen[2].gauge, kGaugeColour);
  EXPECT_EQ(seen[3].gauge, kPassedGaugeColour);
  EXPECT_EQ(seen[4].gauge, kFailedGaugeColour);
  // A load takes the verdict back; the boards stay counted.
  Load(kMvrxSeries);
  EXPECT_EQ(form_->ShownState().state, BoardState::Ready);
  EXPECT_EQ(form_->StatusBar1().BarColour(), kGaugeColour);
  EXPECT_EQ(form_->ShownState().passed, 1);
  EXPECT_EQ(form_->ShownState().failed, 1);
}

// F5 and the keypad's Enter start PC -> Target wherever the focus is, and the focus is where
// it was after the run, so that a foot pedal programs board after board; keys pressed during a
// run do nothing; without a file they do nothing either.
TEST_F(OperatorTest, TheStartKeysProgramBoardAfterBoardWhereverTheFocusIs) {
  constexpr LPARAM kF5 = 0x003F0001;
  constexpr LPARAM kKeypadEnter = 0x011C0001;  // Enter with the extended-key bit
  constexpr LPARAM kMainEnter = 0x001C0001;
  const auto press = [this](HWND to, WPARAM key, LPARAM bits) {
    PostMessageW(to, WM_KEYDOWN, key, bits);
    form_->loop().PumpMessages();
  };
  press(form_->Memo1().Handle(), VK_F5, kF5);
  EXPECT_TRUE(Lines().empty());  // not ready: nothing at all
  Load(kTkSeries);
  const std::size_t loadLines = Lines().size();
  int erases = 0;
  onFrame_ = [&](const sim::Frame& frame) {
    if (frame.command != sim::Command::BulkErase) return;
    ++erases;
    press(form_->Memo1().Handle(), VK_F5, kF5);
    press(form_->Memo1().Handle(), VK_RETURN, kKeypadEnter);
  };
  int boards = 0;
  for (const HWND focus :
       {form_->Memo1().Handle(), form_->BitBtn1().Handle(), form_->BitBtn2().Handle(),
        form_->ComboBox1().Handle(), form_->ComboBox2().Handle()}) {
    for (const auto& [key, bits] : {std::pair<WPARAM, LPARAM>{VK_F5, kF5},
                                    std::pair<WPARAM, LPARAM>{VK_RETURN, kKeypadEnter}}) {
      SCOPED_TRACE(std::to_string(GetDlgCtrlID(focus)) + " " + std::to_string(key));
      SetFocus(focus);
      ASSERT_EQ(GetFocus(), focus);
      press(focus, key, bits);
      ++boards;
      EXPECT_EQ(erases, boards);
      EXPECT_EQ(form_->ShownState().state, BoardState::Pass);
      EXPECT_EQ(GetFocus(), focus);
    }
  }
  EXPECT_EQ(form_->ShownState().passed, boards);
  EXPECT_GT(Lines().size(), loadLines);
  // The main Enter is no start key.
  SetFocus(form_->Memo1().Handle());
  press(form_->Memo1().Handle(), VK_RETURN, kMainEnter);
  EXPECT_EQ(erases, boards);
}

}  // namespace
}  // namespace kv218::test
