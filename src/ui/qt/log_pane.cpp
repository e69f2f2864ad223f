#include "ui/qt/log_pane.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocumentFragment>

#include "ui/common/log_bound.h"
#include "ui/qt/fonts.h"

namespace kv218 {

QString LogText(std::string_view bytes) {
  const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(view);
  if (utf8.hasError()) text = QString::fromLatin1(view);
  // A line break inside a text (a programmer's note may carry CR LF) starts a new line.
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

namespace {
// A space followed by ")" is no place to break a line: the closing bracket of a step's values
// ("( 0xBF , 0x2118 )") goes to the next row with the value before it, never alone. The pane
// shows that space as a no-break space; the lines read back have the space again.
QString KeepClosingBracket(QString text) {
  return text.replace(QStringLiteral(" )"), QStringLiteral(u"\u00A0)"));
}

QString AsLogged(QString text) {
  return text.replace(QStringLiteral(u"\u00A0)"), QStringLiteral(" )"));
}
}  // namespace

LogPane::LogPane(QWidget* parent) : QPlainTextEdit(parent), keptLines_(layout::kKeptLogLines) {
  setFont(LogFont());
  setReadOnly(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  setUndoRedoEnabled(false);  // the log only grows: no undo history to keep
  viewport()->installEventFilter(this);
}

int LogPane::AddLine(std::string_view line) {
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  // Plain, whatever colour the line before it was given.
  if (!empty_) cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
  cursor.insertText(KeepClosingBracket(LogText(line)), QTextCharFormat());
  empty_ = false;
  Trim();
  FollowEnd();
  return document()->blockCount() - 1;
}

void LogPane::Trim() {
  const int over = document()->blockCount() - keptLines_;
  if (over < layout::LogTrimSlack(keptLines_)) return;
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::Start);
  cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, over);
  // The selection ends at the start of the first block kept: the trimmed lines with their
  // breaks (a paragraph separator each).
  QString trimmed = AsLogged(cursor.selectedText());
  trimmed.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  if (!spill_) {
    spill_ = std::make_unique<QTemporaryFile>();
    if (!spill_->open()) spill_.reset();
  }
  if (spill_) spill_->write(trimmed.toUtf8());
  cursor.removeSelectedText();
  stepBlock_ = stepBlock_ >= over ? stepBlock_ - over : -1;
  asideBlock_ = asideBlock_ >= over ? asideBlock_ - over : -1;
}

void LogPane::AppendLog(std::string_view line) { stepBlock_ = AddLine(line); }

void LogPane::AppendAside(std::string_view line) { asideBlock_ = AddLine(line); }

void LogPane::AppendToLastLine(std::string_view text) {
  // With no step line yet, the text becomes a line of its own at the end.
  const QTextBlock block = document()->findBlockByNumber(stepBlock_);
  if (stepBlock_ < 0 || !block.isValid()) {
    stepBlock_ = AddLine(text);
    return;
  }
  QTextCursor cursor(block);
  cursor.movePosition(QTextCursor::EndOfBlock);
  cursor.insertText(KeepClosingBracket(LogText(text)));
  FollowEnd();
}

void LogPane::ColourStepLine(const QColor& colour) { ColourLine(stepBlock_, colour); }

void LogPane::ColourLastAside(const QColor& colour) { ColourLine(asideBlock_, colour); }

void LogPane::ColourLine(int number, const QColor& colour) {
  const QTextBlock block = document()->findBlockByNumber(number);
  if (number < 0 || !block.isValid()) return;
  QTextCursor cursor(block);
  cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  QTextCharFormat format;
  format.setForeground(colour);
  format.setFontWeight(QFont::Bold);
  cursor.mergeCharFormat(format);
}

QColor LogPane::LineColour(int line) const {
  const QTextBlock block = document()->findBlockByNumber(line);
  if (!block.isValid() || block.text().isEmpty()) return palette().color(QPalette::Text);
  const QTextCharFormat format = block.begin().fragment().charFormat();
  return format.hasProperty(QTextFormat::ForegroundBrush) ? format.foreground().color()
                                                          : palette().color(QPalette::Text);
}

QStringList LogPane::Lines() const {
  QStringList lines;
  if (empty_) return lines;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    lines.append(AsLogged(block.text()));
  }
  return lines;
}

QString LogPane::LogFileText() const {
  QString text;
  if (spill_) {
    spill_->seek(0);
    text = QString::fromUtf8(spill_->readAll());
    spill_->seek(spill_->size());
  }
  for (const QString& line : Lines()) text += line + '\n';
  return text;
}

void LogPane::CopyToClipboard() {
  const QTextCursor selection = textCursor();
  if (selection.hasSelection()) {
    copy();
  } else {
    QString text = LogFileText();
    text.chop(1);  // no break after the last line, as a selection of it would have none
    QGuiApplication::clipboard()->setText(text);
  }
}

QMimeData* LogPane::createMimeDataFromSelection() const {
  // Ctrl+C and Copy take the text as logged.
  auto* copied = new QMimeData;
  copied->setText(AsLogged(textCursor().selection().toPlainText()));
  return copied;
}

void LogPane::contextMenuEvent(QContextMenuEvent* event) {
  // Shown without a modal loop of its own: a run going on goes on while it is open.
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->addAction("Save Log...", this, &LogPane::SaveLogRequested)->setEnabled(saveOffered_);
  menu->addAction("Copy", this, &LogPane::CopyToClipboard);
  menu->addAction("Verify Target", this, &LogPane::VerifyTargetRequested);
  menu->addAction("Verify KV-218", this, &LogPane::VerifyProgrammerRequested);
  menu->popup(event->globalPos());
}

void LogPane::FollowEnd() {
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->maximum());
}

bool LogPane::eventFilter(QObject* watched, QEvent* event) {
  if (watched == viewport() && event->type() == QEvent::MouseButtonDblClick) emit DoubleClicked();
  return QPlainTextEdit::eventFilter(watched, event);
}

}  // namespace kv218
