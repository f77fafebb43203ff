#include "app/tracescreen.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "widgets/cp1252.h"

namespace ordalyn {

TraceScreenLog::TraceScreenLog(QPlainTextEdit* view) : QObject(view), view_(view) {
  flushTimer_.setSingleShot(true);
  flushTimer_.setInterval(kGatherMilliseconds);
  connect(&flushTimer_, &QTimer::timeout, this, &TraceScreenLog::Flush);
}

void TraceScreenLog::AppendLine(const std::string& line) {
  waiting_.append(FromCp1252(line));
  if (!flushTimer_.isActive()) {
    flushTimer_.start();
  }
}

void TraceScreenLog::Flush() {
  flushTimer_.stop();
  if (waiting_.isEmpty()) {
    return;
  }
  QScrollBar* bar = view_->verticalScrollBar();
  const bool atBottom = bar->value() == bar->maximum();
  QTextDocument* document = view_->document();
  QTextCursor cursor(document);
  cursor.movePosition(QTextCursor::End);
  cursor.beginEditBlock();
  // An empty view holds one empty block: the first line goes into it.
  bool first = document->isEmpty();
  for (const QString& line : waiting_) {
    if (!first) {
      cursor.insertBlock();
    }
    cursor.insertText(line);
    first = false;
  }
  cursor.endEditBlock();
  waiting_.clear();
  if (atBottom) {
    bar->setValue(bar->maximum());
  }
}

void TraceScreenLog::Clear() {
  flushTimer_.stop();
  waiting_.clear();
  view_->clear();
}

QString TraceScreenLog::Text() {
  Flush();
  QString text = view_->document()->toRawText();
  // One pass: the text of a long log is large.
  for (QChar& c : text) {
    if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
      c = QLatin1Char('\n');
    }
  }
  return text;
}

}  // namespace ordalyn
