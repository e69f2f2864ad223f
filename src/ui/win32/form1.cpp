#include "ui/win32/form1.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "app/port_choices.h"
#include "ground/platform.h"
#include "ground/utf8.h"
#include "ui/common/state_look.h"
#include "ui/win32/application.h"
#include "ui/win32/form_layout.h"
#include "ui/win32/pictures.h"
#include "ui/win32/wide_text.h"

namespace kv218 {

namespace {

constexpr wchar_t kClassName[] = L"TForm1";
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_ACCEPTFILES;  // a HEX file dropped on the window loads
constexpr int kIconResource = 1;
// The band's word as large as "NOT READY" fits its width; its detail in a small face.
constexpr int kBandWordPixels = 15;
constexpr int kBandDetailPixels = 10;

Font BandDetailFont(int dpi) {
  return Font(CreateFontW(-layout::Scaled(kBandDetailPixels, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                          FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                          DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                          FirstInstalledFace({L"Tahoma", L"Arial", L"MS Sans Serif"})));
}

// The dots per inch of the screen the window is on (per monitor where the system tells).
int DpiOf(HWND window) {
  using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpiForWindow != nullptr) {
    if (const UINT dpi = getDpiForWindow(window); dpi > 0) return static_cast<int>(dpi);
  }
  HDC screen = GetDC(window);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(window, screen);
  return dpi > 0 ? dpi : layout::kDesignDpi;
}

void RegisterFormClass(WNDPROC procedure) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  windowClass.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource),
                                                    IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                    GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
  windowClass.hIconSm = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  RegisterClassExW(&windowClass);  // fails harmlessly when already registered
}

}  // namespace

TForm1::TForm1(FormOptions options)
    : ops_(*this, std::move(options.chooseHexFile)),
      font_(FormFont()),
      listSerialDevices_(std::move(options.listSerialDevices)),
      chooseLogFile_(std::move(options.chooseLogFile)),
      bandWordFont_(PictureFont(kBandWordPixels)),
      bandDetailFont_(BandDetailFont(layout::kDesignDpi)) {
  if (!listSerialDevices_) listSerialDevices_ = [] { return ListSerialDevices(); };
  RegisterFormClass(&Procedure);
  // The outer size follows from the client area the design's positions refer to.
  RECT outer{0, 0, layout::kClientWidth, layout::kClientHeight};
  AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
  window_ = CreateWindowExW(kExStyle, kClassName, kCaption, kStyle, layout::kFormLeft,
                            layout::kFormTop, outer.right - outer.left, outer.bottom - outer.top,
                            nullptr, nullptr, GetModuleHandleW(nullptr), this);
  BuildControls();
  if (const int dpi = DpiOf(window_); dpi != layout::kDesignDpi) {
    // The client area the design's 100 % scaled to the screen's.
    ApplyDpi(dpi);
    RECT scaled{0, 0, layout::Scaled(layout::kClientWidth, dpi),
                layout::Scaled(layout::kClientHeight, dpi)};
    AdjustWindowRectEx(&scaled, kStyle, FALSE, kExStyle);
    SetWindowPos(window_, nullptr, 0, 0, scaled.right - scaled.left, scaled.bottom - scaled.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  loop_.SetNavigationWindow(window_);
  loop_.SetKeyHandler([this](const MSG& message) { return OnKey(message); });

  Controller::PortFactory makePort;
  if (options.makePort) {
    makePort = [this, make = std::move(options.makePort)] { return make(*this); };
  }
  controller_ = std::make_unique<Controller>(ops_, loop_, std::move(options.settingsPath),
                                             std::move(makePort));
  loop_.SetTickHandler([this] { controller_->OnTick(); });
  FormCreate();
  if (!options.openFile.empty()) controller_->LoadFileNamed(options.openFile);
}

TForm1::~TForm1() {
  Shutdown();
  controller_.reset();  // stops and joins the receive thread while the controls still exist
  if (IsWindow(window_)) DestroyWindow(window_);
}

void TForm1::BuildControls() {
  const auto id = [](layout::ControlId control) { return static_cast<int>(control); };
  // Created in the order of the tab stops.
  memo1_ =
      std::make_unique<LogPane>(window_, id(layout::kIdMemo1), layout::kMemo1.left,
                                layout::kMemo1.top, layout::kMemo1.width, layout::kMemo1.height);
  memo1_->SetDoubleClickHandler([this] { controller_->QueryNote(); });
  memo1_->SetSaveLogHandler([this] { Memo1SaveLog(); });
  // The read-only sessions, handled like the buttons.
  memo1_->SetVerifyHandlers([this] { RunButton([this] { controller_->VerifyTarget(); }); },
                            [this] { RunButton([this] { controller_->VerifyProgrammer(); }); });
  bitBtn1_ = std::make_unique<PictureButton>(window_, id(layout::kIdBitBtn1), layout::kBitBtn1,
                                             Picture::LoadFile, L"Load File");
  bitBtn2_ = std::make_unique<PictureButton>(window_, id(layout::kIdBitBtn2), layout::kBitBtn2,
                                             Picture::PcToTarget, L"PC to Target");
  bitBtn3_ = std::make_unique<PictureButton>(window_, id(layout::kIdBitBtn3), layout::kBitBtn3,
                                             Picture::PcToKv218, L"PC to KV-218");
  comboBox1_ = std::make_unique<SelectorBox>(
      window_, id(layout::kIdComboBox1), layout::kComboBox1.left, layout::kComboBox1.top,
      layout::kComboBox1.width, layout::kDropDownHeight,
      std::vector<std::wstring>{L"TK Series", L"MVRx Series", L"Cradle Set", L"Eco Mode"});
  std::vector<std::wstring> ports;
  for (int port = 1; port <= layout::kComItems; ++port) {
    ports.push_back(L"COM" + std::to_wstring(port));
  }
  comboBox2_ = std::make_unique<SelectorBox>(
      window_, id(layout::kIdComboBox2), layout::kComboBox2.left, layout::kComboBox2.top,
      layout::kComboBox2.width, layout::kDropDownHeight, ports);
  comboBox1_->SetItemIndex(0);
  comboBox2_->SetItemIndex(0);
  statusBar1_ = std::make_unique<StatusBar>(window_, id(layout::kIdStatusBar1));
  SetFocus(memo1_->Handle());
}

void TForm1::ApplyDpi(int dpi) {
  dpi_ = dpi;
  font_ = FormFont(dpi);
  bandWordFont_ = PictureFont(layout::Scaled(kBandWordPixels, dpi));
  bandDetailFont_ = BandDetailFont(dpi);
  const auto place = [dpi](const layout::Box& box) { return layout::Scaled(box, dpi); };
  const layout::Box memo = place(layout::kMemo1);
  memo1_->SetDpi(dpi, memo.left, memo.top, memo.width, memo.height);
  for (PictureButton* button : {bitBtn1_.get(), bitBtn2_.get(), bitBtn3_.get()}) {
    button->SetDpi(dpi);
  }
  const int dropDown = layout::Scaled(layout::kDropDownHeight, dpi);
  const layout::Box types = place(layout::kComboBox1);
  comboBox1_->SetPlaceAndFont(types.left, types.top, types.width, dropDown, font_.get());
  const layout::Box ports = place(layout::kComboBox2);
  comboBox2_->SetPlaceAndFont(ports.left, ports.top, ports.width, dropDown, font_.get());
  statusBar1_->SetDpi(dpi);
  InvalidateRect(window_, nullptr, TRUE);
}

void TForm1::ListSerialDeviceItems() {
  if (!controller_) return;
  // Each device by the path it opens, as the settings keep it.
  const std::vector<PortChoice> choices =
      PortChoicesAfterComItems(listSerialDevices_(), controller_->PortPath());
  std::vector<SelectorBox::Item> items;
  for (const PortChoice& choice : choices) items.push_back({WideText(choice.path), choice.path});
  comboBox2_->ReplaceItemsFrom(layout::kComItems, items);
  comboBox2_->SetItemIndex(PortItemIndex(choices, controller_->PortPath()));
}

void TForm1::FollowPortInUse() {
  const std::string& path = controller_->PortPath();
  int shown = ComItemOf(path);
  if (shown < 0) shown = comboBox2_->FindData(path);
  if (shown < 0) {
    ListSerialDeviceItems();
  } else if (shown != comboBox2_->ItemIndex()) {
    comboBox2_->SetItemIndex(shown);
  }
}

void TForm1::ShowState(const StateShown& shown) {
  shown_ = shown;
  const layout::Box box = layout::Scaled(layout::kStateBand, dpi_);
  const RECT band{box.left, box.top, box.right(), box.bottom()};
  InvalidateRect(window_, &band, FALSE);
  const look::Rgb ground = look::LogGroundOf(shown.state);
  memo1_->SetGround(RGB(ground.red, ground.green, ground.blue));
  statusBar1_->ShowLook(shown.state == BoardState::Pass   ? StatusBar::Look::Passed
                        : shown.state == BoardState::Fail ? StatusBar::Look::Failed
                                                          : StatusBar::Look::Neutral);
  if (controller_) FollowPortInUse();
}

void TForm1::PaintStateBand(HDC dc) {
  const layout::Box box = layout::Scaled(layout::kStateBand, dpi_);
  RECT band{box.left, box.top, box.right(), box.bottom()};
  const look::BandLook bandLook = look::BandOf(shown_.state);
  const HBRUSH ground =
      CreateSolidBrush(RGB(bandLook.ground.red, bandLook.ground.green, bandLook.ground.blue));
  FillRect(dc, &band, ground);
  DeleteObject(ground);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, bandLook.whiteText ? RGB(0xFF, 0xFF, 0xFF) : RGB(0, 0, 0));
  InflateRect(&band, -layout::Scaled(2, dpi_), -layout::Scaled(1, dpi_));
  const std::wstring word = WideText(look::WordOf(shown_.state));
  const std::wstring detail = WideText(look::DetailOf(shown_));
  const HGDIOBJ old = SelectObject(dc, bandWordFont_.get());
  DrawTextW(dc, word.c_str(), static_cast<int>(word.size()), &band,
            DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, bandDetailFont_.get());
  DrawTextW(dc, detail.c_str(), static_cast<int>(detail.size()), &band,
            DT_CENTER | DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  SelectObject(dc, old);
}

bool TForm1::OnKey(const MSG& message) {
  if (message.hwnd != window_ && !IsChild(window_, message.hwnd)) return false;
  // The keypad's Enter is Enter with the extended-key bit; the main Enter is left alone.
  const bool keypadEnter = message.wParam == VK_RETURN && (message.lParam & (1L << 24)) != 0;
  if (message.wParam != VK_F5 && !keypadEnter) return false;
  // Held down, a key repeats: one press, one board.
  if ((message.lParam & (1L << 30)) != 0) return true;
  RunButton([this] { controller_->StartKey(); });
  return true;
}

void TForm1::ComboBox2Change(int itemIndex) {
  // A serial device's item opens its path; the COM items go by the item index.
  const std::string device = comboBox2_->ItemData(itemIndex);
  if (!device.empty()) {
    controller_->OpenPort(device);
  } else {
    controller_->SelectPort(itemIndex);
  }
}

void TForm1::FormDropFiles(HDROP drop) {
  std::wstring path;
  const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
  if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0 && length > 0) {
    path.resize(length + 1);
    path.resize(DragQueryFileW(drop, 0, path.data(), length + 1));
  }
  DragFinish(drop);
  // A drop arrives even during a run (the run's waits pump messages); the controller refuses it.
  if (!path.empty()) controller_->LoadFileNamed(Utf8FromWide(path));
}

void TForm1::Memo1SaveLog() {
  const std::optional<std::string> path =
      chooseLogFile_ ? chooseLogFile_() : RunSaveLogDialog(window_);
  if (!path) return;
  // Written whole or not at all.
  ReplacementFile file(*path);
  if (!file.IsOpen() || !file.Write(memo1_->LogFileText()) || !file.Commit()) {
    ShowErrorBox(window_, "Unable to write to " + *path);
  }
}

void TForm1::FormCreate() {
  controller_->Open();
  // Selected without running the change handlers: the port selector shows the port opened,
  // the type selector the stored type (nothing for a TYPE that names none).
  ListSerialDeviceItems();
  comboBox1_->SetItemIndex(controller_->settings().Type);
  controller_->RefreshState();
}

LRESULT CALLBACK TForm1::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* form = static_cast<TForm1*>(creation->lpCreateParams);
    form->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  try {
    return form->OnMessage(message, wParam, lParam);
  } catch (...) {
    // An error no handler caught is shown, and the application goes on.
    ShowUncaughtError(window);
    return 0;
  }
}

LRESULT TForm1::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (statusBar1_ && statusBar1_->OnDrawItem(item)) return TRUE;
      for (const PictureButton* button : {bitBtn1_.get(), bitBtn2_.get(), bitBtn3_.get()}) {
        if (button != nullptr && button->OnDrawItem(item)) return TRUE;
      }
      break;
    }
    case WM_DPICHANGED: {
      // Moved to a screen of another scale (or the scale changed): everything scaled afresh,
      // the window where and as large as the system suggests.
      ApplyDpi(HIWORD(wParam));
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      // The read-only log takes the board state's tint rather than the grey of a read-only edit.
      if (memo1_ && reinterpret_cast<HWND>(lParam) == memo1_->Handle()) {
        SetBkColor(reinterpret_cast<HDC>(wParam), memo1_->Ground());
        return reinterpret_cast<LRESULT>(memo1_->GroundBrush());
      }
      break;
    case WM_SIZE:
      // The status bar spans the bottom edge at every size; the other controls stay put.
      if (statusBar1_) statusBar1_->FollowParent();
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_DROPFILES:
      FormDropFiles(reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_QUERYENDSESSION:
      return QueryEndSession() ? TRUE : FALSE;
    case WM_ENDSESSION:
      // The session ends once this returns: the settings are saved and a run still going on
      // hears its end (Controller::Close) while the port is open.
      if (wParam != FALSE) {
        stopQuestion_.Dismiss();
        if (!controller_->Running()) {
          if (controller_->Close(comboBox2_->ItemIndex())) DestroyWindow(window_);
        } else if (controller_->Close(comboBox2_->ItemIndex())) {
          closePending_ = true;  // the run, below this on the stack, unwinds; then it closes
        }
      }
      return 0;
    case kEndSessionMessage:
      EndSession();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void TForm1::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  // Image1 is a picture, not a window: the port selector covers its empty part.
  const layout::Box plug = layout::Scaled(layout::kImage1, dpi_);
  PaintSerialPlug(dc, plug.left, plug.top, std::max(1, layout::Scaled(1, dpi_)));
  PaintStateBand(dc);
  EndPaint(window_, &paint);
}

template <typename Handler>
void TForm1::RunButton(Handler handler) {
  handler();
  stopQuestion_.Dismiss();  // a question the run did not wait for goes with it
  if (closePending_) {
    ShutdownBlockReasonDestroy(window_);
    closePending_ = false;
    SendMessageW(window_, WM_CLOSE, 0, 0);
  }
}

void TForm1::OnCommand(int id, WORD code) {
  if (!controller_) return;  // still building the controls
  switch (id) {
    case layout::kIdBitBtn1:
      if (code == BN_CLICKED) RunButton([this] { controller_->LoadFile(); });
      break;
    case layout::kIdBitBtn2:
      if (code == BN_CLICKED) RunButton([this] { controller_->ProgramTarget(); });
      break;
    case layout::kIdBitBtn3:
      if (code == BN_CLICKED) RunButton([this] { controller_->StoreInProgrammer(); });
      break;
    case layout::kIdComboBox1:
      // Another type: panel 4 shows no checksum of another layout.
      if (comboBox1_->OnNotify(code)) controller_->TypeChanged();
      break;
    case layout::kIdComboBox2:
      // A device unplugged since the list was last made is not offered.
      if (code == CBN_DROPDOWN) ListSerialDeviceItems();
      if (const auto index = comboBox2_->OnNotify(code)) ComboBox2Change(*index);
      break;
    default:
      break;
  }
}

void TForm1::OnClose() {
  if (controller_->Running()) {
    // Asked once, not waited for; on yes the run's wait returns at its next message, and the
    // button's handler then closes again.
    if (closePending_ || stopQuestion_.IsOpen()) return;
    stopQuestion_.Ask(
        window_, EditText(Controller::kStopRunQuestion),
        [this](std::function<void()> call) { loop_.Post(std::move(call)); },
        [this](bool yes) {
          if (!yes || !controller_->Running()) return;
          controller_->RequestClose();
          closePending_ = true;
        });
    return;
  }
  // The settings could not be written: that was shown, and the window stays.
  if (!controller_->Close(comboBox2_->ItemIndex())) return;
  DestroyWindow(window_);
}

void TForm1::EndSession() {
  if (!controller_->Running()) {
    SendMessageW(window_, WM_CLOSE, 0, 0);
    return;
  }
  stopQuestion_.Dismiss();
  controller_->RequestClose();
  closePending_ = true;  // the run unwinds, then its button's handler closes the window
}

bool TForm1::QueryEndSession() {
  if (!controller_->Running()) return true;
  EndSession();
  ShutdownBlockReasonCreate(window_, L"Ending the run in progress");
  return false;
}

}  // namespace kv218
