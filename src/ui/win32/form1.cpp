#include "ui/win32/form1.h"

#include <commctrl.h>
#include <shellapi.h>

#include "ground/platform.h"
#include "ground/utf8.h"
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
      chooseLogFile_(std::move(options.chooseLogFile)) {
  if (!listSerialDevices_) listSerialDevices_ = [] { return ListSerialDevices(); };
  RegisterFormClass(&Procedure);
  // The outer size follows from the client area the design's positions refer to.
  RECT outer{0, 0, layout::kClientWidth, layout::kClientHeight};
  AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
  window_ = CreateWindowExW(kExStyle, kClassName, kCaption, kStyle, layout::kFormLeft,
                            layout::kFormTop, outer.right - outer.left, outer.bottom - outer.top,
                            nullptr, nullptr, GetModuleHandleW(nullptr), this);
  BuildControls();
  loop_.SetNavigationWindow(window_);

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
  for (const SelectorBox* box : {comboBox1_.get(), comboBox2_.get()}) {
    SendMessageW(box->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  }
  ListSerialDeviceItems();
  comboBox1_->SetItemIndex(0);
  comboBox2_->SetItemIndex(0);
  statusBar1_ = std::make_unique<StatusBar>(window_, id(layout::kIdStatusBar1));
  SetFocus(memo1_->Handle());
}

void TForm1::ListSerialDeviceItems() {
  // Each device by the path it opens, as the settings keep it.
  std::vector<SelectorBox::Item> items;
  for (const SerialDeviceInfo& device : listSerialDevices_()) {
    items.push_back({WideText(device.path), device.path});
  }
  comboBox2_->ReplaceItemsFrom(layout::kComItems, items);
}

void TForm1::ComboBox2Change(int itemIndex) {
  // A serial device's item opens its path; the COM items and typed text go by the item index.
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
  // Selected without running ComboBox2Change; an index outside the items selects nothing.
  comboBox2_->SetItemIndex(controller_->settings().Com);
  comboBox1_->SetItemIndex(controller_->settings().Type);
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
    case WM_DRAWITEM:
      if (statusBar1_ && statusBar1_->OnDrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam))) {
        return TRUE;
      }
      break;
    case WM_CTLCOLORSTATIC:
      // The read-only log keeps the white ground of an editable one.
      if (memo1_ && reinterpret_cast<HWND>(lParam) == memo1_->Handle()) {
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
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
  PaintSerialPlug(dc, layout::kImage1.left, layout::kImage1.top);
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
