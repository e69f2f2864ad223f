#include "ui/qt/qt_window_ops.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "ui/common/standalone_verdict.h"
#include "ui/qt/application.h"
#include "ui/qt/form1.h"

namespace kv218 {

QtWindowOps::QtWindowOps(TForm1& form, HexFileChooser chooser)
    : form_(form), chooser_(std::move(chooser)) {}

void QtWindowOps::AppendLog(std::string_view line) { form_.Memo1->AppendLog(line); }

void QtWindowOps::AppendAside(std::string_view line) {
  form_.Memo1->AppendAside(line);
  // A stand-alone run's verdict, coloured as the window's own runs' are.
  const Verdict verdict = StandaloneVerdictOf(line);
  if (verdict == Verdict::Succeeded) form_.Memo1->ColourLastAside(kSucceededColour);
  if (verdict == Verdict::Failed) form_.Memo1->ColourLastAside(kFailedColour);
}

void QtWindowOps::AppendToLastLine(std::string_view text) { form_.Memo1->AppendToLastLine(text); }

void QtWindowOps::SetPanelText(int panel, std::string_view text) {
  form_.StatusBar1->SetPanelText(panel, LogText(text));
}

void QtWindowOps::SetProgress(int percent) { form_.CGauge1->SetProgress(percent); }

void QtWindowOps::SetButtonsEnabled(bool enabled) {
  if (!enabled && !focusBeforeRun_) focusBeforeRun_ = form_.focusWidget();
  for (QPushButton* button : {form_.BitBtn1, form_.BitBtn2, form_.BitBtn3}) {
    button->setEnabled(enabled);
  }
  form_.Memo1->SetSaveOffered(enabled);  // off during a run, with the buttons
}

std::optional<std::string> QtWindowOps::ChooseHexFile() {
  return chooser_ ? chooser_() : RunOpenDialog(&form_);
}

TargetType QtWindowOps::SelectedType() const { return TargetTypeAt(form_.ComboBox1->ItemIndex()); }

void QtWindowOps::ShowError(std::string_view message) {
  QMessageBox::critical(&form_, kApplicationTitle, LogText(message));
}

void QtWindowOps::SetSelectorsEnabled(bool enabled) {
  // A disabled control gives its focus away. The selectors go first at a run's start and come
  // back last at its end: the focus is kept before the one and given back after the other, so
  // that the next board starts from the keyboard (or a foot pedal) as the last one did.
  if (!enabled && !focusBeforeRun_) focusBeforeRun_ = form_.focusWidget();
  form_.ComboBox1->setEnabled(enabled);
  form_.ComboBox2->setEnabled(enabled);
  if (enabled && focusBeforeRun_) {
    if (focusBeforeRun_->isEnabled()) focusBeforeRun_->setFocus();
    focusBeforeRun_.clear();
  }
}

bool QtWindowOps::Confirm(std::string_view question) {
  return QMessageBox::question(&form_, kApplicationTitle, LogText(question),
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

bool QtWindowOps::OfferToGoOn(std::string_view message, std::string_view goOn) {
  // Asked before the run's first frame, with the tick timer still off: a modal box holds
  // nothing up.
  QMessageBox box(QMessageBox::Warning, kApplicationTitle, LogText(message), QMessageBox::Cancel,
                  &form_);
  QPushButton* force = box.addButton(LogText(goOn), QMessageBox::AcceptRole);
  box.setDefaultButton(QMessageBox::Cancel);
  box.setEscapeButton(QMessageBox::Cancel);
  box.exec();
  return box.clickedButton() == force;
}

void QtWindowOps::ShowVerdict(Verdict verdict) {
  if (verdict == Verdict::Succeeded) form_.Memo1->ColourStepLine(kSucceededColour);
  if (verdict == Verdict::Failed) form_.Memo1->ColourStepLine(kFailedColour);
  form_.CGauge1->ShowLook(verdict == Verdict::Failed ? Gauge::Look::Failed : Gauge::Look::Neutral);
}

void QtWindowOps::ShowState(const StateShown& shown) { form_.ShowState(shown); }

// Flashes the task-bar entry when the window is not the active one; nothing otherwise.
void QtWindowOps::CallOperator() { QApplication::alert(&form_); }

std::optional<std::string> RunOpenDialog(QWidget* parent) {
  // Qt's spelling of the filter "Hex files|*.hex;*.a43".
  const QString path =
      QFileDialog::getOpenFileName(parent, QString(), QString(), "Hex files (*.hex *.a43)");
  if (path.isEmpty()) return std::nullopt;
  return QFile::encodeName(path).toStdString();
}

}  // namespace kv218
