#pragma once
// The window operations on Form1's widgets.

#include <QColor>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "ground/window_ops.h"

namespace kv218 {

class TForm1;

// OpenDialog1 as the core sees it: the chosen path, nothing when cancelled.
using HexFileChooser = std::function<std::optional<std::string>()>;

// A run's closing line: dark green for success, red for failure.
inline const QColor kSucceededColour{0x00, 0x80, 0x00};
inline const QColor kFailedColour{0xD0, 0x00, 0x00};

class QtWindowOps : public WindowOps {
 public:
  // An empty chooser runs the file-open dialog.
  QtWindowOps(TForm1& form, HexFileChooser chooser);

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
  TForm1& form_;
  QPointer<QWidget> focusBeforeRun_;  // the focus a run's disabled controls took, given back
  HexFileChooser chooser_;
};

// The file-open dialog with the filter "Hex files|*.hex;*.a43".
std::optional<std::string> RunOpenDialog(QWidget* parent);

}  // namespace kv218
