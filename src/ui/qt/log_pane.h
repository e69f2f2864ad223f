#pragma once
// Memo1: the log. Read-only, monospaced, a vertical scroll bar, long lines wrapped at the
// pane's width; the program only ever adds lines or completes its step line (the last line
// AppendLog added, which lines the programmer volunteered may follow), and the view follows
// the end. Its context menu offers "Save Log..." (handled by the form), "Copy" (the
// selection, or every line when nothing is selected), and the read-only sessions "Verify
// Target" and "Verify KV-218" (handled by the form). It shows the last lines only
// (ui/common/log_bound.h); older ones go to a temporary file, which "Save Log..." and "Copy"
// put before the lines shown, so the log they give stays whole.

#include <QColor>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTemporaryFile>
#include <memory>
#include <string_view>

namespace kv218 {

class LogPane : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit LogPane(QWidget* parent = nullptr);

  void AppendLog(std::string_view line);
  void AppendAside(std::string_view line);
  void AppendToLastLine(std::string_view text);
  // Shows the step line (the last line AppendLog added) in colour: a run's verdict.
  void ColourStepLine(const QColor& colour);
  // Shows the line AppendAside added last in colour: a verdict the programmer reported.
  void ColourLastAside(const QColor& colour);
  // The colour line number line is shown in (the pane's text colour unless coloured).
  QColor LineColour(int line) const;
  QStringList Lines() const;  // the lines shown; empty while nothing was logged
  // Every line logged (those no longer shown first), each ended by a line break: what
  // "Save Log..." writes.
  QString LogFileText() const;
  // The most lines shown (tests set fewer).
  void SetKeptLines(int kept) { keptLines_ = kept; }
  // While a run goes on the menu offers no "Save Log...": its dialog would hold the run up.
  void SetSaveOffered(bool offered) { saveOffered_ = offered; }
  // Copies the selection, or the whole log when nothing is selected, to the clipboard.
  void CopyToClipboard();

 signals:
  void DoubleClicked();
  void SaveLogRequested();
  void VerifyTargetRequested();
  void VerifyProgrammerRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  QMimeData* createMimeDataFromSelection() const override;

 private:
  // Adds a line at the end; returns the number of its (last) block.
  int AddLine(std::string_view line);
  void FollowEnd();
  // Moves the oldest lines over the bound to the spill file.
  void Trim();
  void ColourLine(int block, const QColor& colour);
  bool empty_ = true;    // an empty document still holds one empty block: tell the two apart
  int stepBlock_ = -1;   // the block AppendToLastLine completes; -1 before the first AppendLog
  int asideBlock_ = -1;  // the block AppendAside added last
  int keptLines_;
  bool saveOffered_ = true;
  std::unique_ptr<QTemporaryFile> spill_;  // the lines no longer shown, in UTF-8; made at need
};

// Log bytes as text: UTF-8 when they are valid UTF-8 (file paths), else one character per
// byte (the programmer's notes are plain 8-bit text).
QString LogText(std::string_view bytes);

}  // namespace kv218
