#include "ui/win32/win32_window_ops.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <iterator>

#include "ground/utf8.h"
#include "ui/common/standalone_verdict.h"
#include "ui/win32/form1.h"
#include "ui/win32/wide_text.h"

namespace kv218 {

Win32WindowOps::Win32WindowOps(TForm1& form, HexFileChooser chooser)
    : form_(form), chooser_(std::move(chooser)) {}

void Win32WindowOps::AppendLog(std::string_view line) { form_.Memo1().AppendLog(line); }

void Win32WindowOps::AppendAside(std::string_view line) {
  form_.Memo1().AppendAside(line);
  // A stand-alone run's verdict, coloured as the window's own runs' are.
  const Verdict verdict = StandaloneVerdictOf(line);
  if (verdict == Verdict::Succeeded) form_.Memo1().ColourLastAside(kSucceededColour);
  if (verdict == Verdict::Failed) form_.Memo1().ColourLastAside(kFailedColour);
}

void Win32WindowOps::AppendToLastLine(std::string_view text) {
  form_.Memo1().AppendToLastLine(text);
}

void Win32WindowOps::SetPanelText(int panel, std::string_view text) {
  form_.StatusBar1().SetPanelText(panel, text);
}

void Win32WindowOps::SetProgress(int percent) { form_.StatusBar1().SetProgress(percent); }

void Win32WindowOps::SetButtonsEnabled(bool enabled) {
  if (!enabled) KeepFocus();
  for (PictureButton* button : {&form_.BitBtn1(), &form_.BitBtn2(), &form_.BitBtn3()}) {
    button->SetEnabled(enabled);
  }
  form_.Memo1().SetMenuOffered(enabled);  // off during a run, with the buttons
}

void Win32WindowOps::KeepFocus() {
  if (focusBeforeRun_ != nullptr) return;
  const HWND focus = GetFocus();
  if (focus != nullptr && (focus == form_.Handle() || IsChild(form_.Handle(), focus))) {
    focusBeforeRun_ = focus;
  }
}

void Win32WindowOps::GiveFocusBack() {
  const HWND focus = focusBeforeRun_;
  focusBeforeRun_ = nullptr;
  if (focus == nullptr) return;
  SetFocus(IsWindow(focus) && IsWindowEnabled(focus) ? focus : form_.Memo1().Handle());
}

std::optional<std::string> Win32WindowOps::ChooseHexFile() {
  return chooser_ ? chooser_() : RunOpenDialog(form_.Handle());
}

TargetType Win32WindowOps::SelectedType() const {
  return TargetTypeAt(form_.ComboBox1().ItemIndex());
}

void Win32WindowOps::ShowError(std::string_view message) { ShowErrorBox(form_.Handle(), message); }

void Win32WindowOps::SetSelectorsEnabled(bool enabled) {
  // A disabled control loses the focus, and keys then reach no control at all. The selectors
  // go first at a run's start and come back last at its end: the focus is kept before the
  // one and given back after the other, so that the next board starts from the keyboard (or
  // a foot pedal) as the last one did.
  if (!enabled) KeepFocus();
  EnableWindow(form_.ComboBox1().Handle(), enabled);
  EnableWindow(form_.ComboBox2().Handle(), enabled);
  if (enabled) GiveFocusBack();
}

bool Win32WindowOps::Confirm(std::string_view question) {
  const std::wstring text = EditText(question);
  return MessageBoxW(form_.Handle(), text.c_str(), kApplicationTitle,
                     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

bool Win32WindowOps::OfferToGoOn(std::string_view message, std::string_view goOn) {
  // Asked before the run's first frame, with the tick timer still off: a modal box holds
  // nothing up. A task dialog names its button; comctl32 has one only as version 6 (the
  // window's manifest asks for it), otherwise a question whose Yes is the button.
  const std::wstring text = EditText(message);
  const std::wstring label = EditText(goOn);
  using TaskDialogCall = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
  const HMODULE controls = GetModuleHandleW(L"comctl32.dll");
  const auto taskDialog = controls == nullptr
                              ? nullptr
                              : reinterpret_cast<TaskDialogCall>(reinterpret_cast<void (*)()>(
                                    GetProcAddress(controls, "TaskDialogIndirect")));
  if (taskDialog == nullptr) {
    const std::wstring question = text + L"\r\n\r\n" + label + L"?";
    return MessageBoxW(form_.Handle(), question.c_str(), kApplicationTitle,
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
  }
  constexpr int kGoOn = 100;
  const TASKDIALOG_BUTTON buttons[] = {{kGoOn, label.c_str()}};
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof config;
  config.hwndParent = form_.Handle();
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;
  config.dwCommonButtons = TDCBF_CANCEL_BUTTON;
  config.pszWindowTitle = kApplicationTitle;
  config.pszMainIcon = TD_WARNING_ICON;
  config.pszContent = text.c_str();
  config.cButtons = 1;
  config.pButtons = buttons;
  config.nDefaultButton = IDCANCEL;
  int chosen = IDCANCEL;
  return SUCCEEDED(taskDialog(&config, &chosen, nullptr, nullptr)) && chosen == kGoOn;
}

void Win32WindowOps::ShowVerdict(Verdict verdict) {
  if (verdict == Verdict::Succeeded) form_.Memo1().ColourStepLine(kSucceededColour);
  if (verdict == Verdict::Failed) form_.Memo1().ColourStepLine(kFailedColour);
  form_.StatusBar1().ShowLook(verdict == Verdict::Failed ? StatusBar::Look::Failed
                                                         : StatusBar::Look::Neutral);
}

void Win32WindowOps::ShowState(const StateShown& shown) { form_.ShowState(shown); }

void Win32WindowOps::CallOperator() {
  // Only when another window is in front: the operator is already looking otherwise.
  if (GetForegroundWindow() == form_.Handle()) return;
  FLASHWINFO flash{};
  flash.cbSize = sizeof flash;
  flash.hwnd = form_.Handle();
  flash.dwFlags = FLASHW_TRAY | FLASHW_TIMERNOFG;  // until the window comes to the front
  FlashWindowEx(&flash);
}

std::optional<std::string> RunOpenDialog(HWND owner) {
  // "Hex files|*.hex;*.a43" as the dialog's pairs of description and pattern.
  static constexpr wchar_t kFilter[] = L"Hex files\0*.hex;*.a43\0";
  std::wstring path(MAX_PATH * 4, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  path.resize(wcslen(path.c_str()));
  return Utf8FromWide(path);
}

std::optional<std::string> RunSaveLogDialog(HWND owner) {
  static constexpr wchar_t kFilter[] = L"Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
  std::wstring path(MAX_PATH * 4, L'\0');
  static constexpr wchar_t kDefaultName[] = L"kv218tool-log.txt";
  std::copy(std::begin(kDefaultName), std::end(kDefaultName), path.begin());
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrTitle = L"Save Log";
  dialog.lpstrDefExt = L"txt";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
  if (!GetSaveFileNameW(&dialog)) return std::nullopt;
  path.resize(wcslen(path.c_str()));
  return Utf8FromWide(path);
}

void ShowErrorBox(HWND owner, std::string_view message) {
  const std::wstring text = EditText(message);
  MessageBoxW(owner, text.c_str(), kApplicationTitle, MB_OK | MB_ICONERROR);
}

}  // namespace kv218
