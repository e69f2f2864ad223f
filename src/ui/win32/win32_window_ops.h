#pragma once
// WindowOps on the controls of TForm1.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "ground/window_ops.h"

namespace kv218 {

class TForm1;

// Returns the chosen HEX file, or nothing when cancelled.
using HexFileChooser = std::function<std::optional<std::string>()>;
// The save dialog of "Save Log...": the chosen path in UTF-8, nothing when cancelled.
using LogFileChooser = std::function<std::optional<std::string>()>;

inline constexpr wchar_t kApplicationTitle[] = L"Firmware Upgrade Application";
// A run's closing line: dark green for success, red for failure.
inline constexpr COLORREF kSucceededColour = RGB(0x00, 0x80, 0x00);
inline constexpr COLORREF kFailedColour = RGB(0xD0, 0x00, 0x00);

class Win32WindowOps : public WindowOps {
 public:
  // An empty chooser runs the file-open dialog.
  Win32WindowOps(TForm1& form, HexFileChooser chooser);

  void AppendLog(std::string_view line) override;
  void AppendAside(std::string_view line) override;
  void AppendToLastLine(std::string_view text) override;
  void SetPanelText(int panel, std::string_view text) override;
  void SetProgress(int percent) override;
  void SetButtonsEnabled(bool enabled) override;
  std::optional<std::string> ChooseHexFile() override;
  TargetType SelectedType() const override;
  void ShowError(std::string_view message) override;
  void SetSelectorsEnabled(bool enabled) override;
  bool Confirm(std::string_view question) override;
  bool OfferToGoOn(std::string_view message, std::string_view goOn) override;
  void ShowVerdict(Verdict verdict) override;
  void CallOperator() override;
  void ShowState(const StateShown& shown) override;

 private:
  void KeepFocus();
  void GiveFocusBack();

  TForm1& form_;
  HexFileChooser chooser_;
  HWND focusBeforeRun_ = nullptr;  // the focus a run's disabled controls took, given back
};

// The file-open dialog with the filter "Hex files|*.hex;*.a43"; the path in UTF-8.
std::optional<std::string> RunOpenDialog(HWND owner);
// The save dialog of "Save Log...", offering "kv218tool-log.txt"; the path in UTF-8.
std::optional<std::string> RunSaveLogDialog(HWND owner);
// The application's standard error display: a message box with the application's title.
void ShowErrorBox(HWND owner, std::string_view message);

}  // namespace kv218
