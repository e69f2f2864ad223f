#include "ui/win32/win32_window_ops.h"

#include <commdlg.h>

#include <algorithm>
#include <iterator>

#include "ground/utf8.h"
#include "ui/win32/form1.h"
#include "ui/win32/wide_text.h"

namespace kv218 {

Win32WindowOps::Win32WindowOps(TForm1& form, HexFileChooser chooser)
    : form_(form), chooser_(std::move(chooser)) {}

void Win32WindowOps::AppendLog(std::string_view line) { form_.Memo1().AppendLog(line); }

void Win32WindowOps::AppendAside(std::string_view line) { form_.Memo1().AppendAside(line); }

void Win32WindowOps::AppendToLastLine(std::string_view text) {
  form_.Memo1().AppendToLastLine(text);
}

void Win32WindowOps::SetPanelText(int panel, std::string_view text) {
  form_.StatusBar1().SetPanelText(panel, text);
}

void Win32WindowOps::SetProgress(int percent) { form_.StatusBar1().SetProgress(percent); }

void Win32WindowOps::SetButtonsEnabled(bool enabled) {
  for (PictureButton* button : {&form_.BitBtn1(), &form_.BitBtn2(), &form_.BitBtn3()}) {
    button->SetEnabled(enabled);
  }
}

std::optional<std::string> Win32WindowOps::ChooseHexFile() {
  return chooser_ ? chooser_() : RunOpenDialog(form_.Handle());
}

TargetType Win32WindowOps::SelectedType() const {
  return TargetTypeAt(form_.ComboBox1().ItemIndex());
}

void Win32WindowOps::ShowError(std::string_view message) { ShowErrorBox(form_.Handle(), message); }

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
