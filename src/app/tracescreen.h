// The on-screen log over the main window's text view. Appending one line at a
// time through the view costs more the longer the log grows, so lines are
// gathered and inserted in one edit block once the event loop runs again.
// Everything that reads or clears the log first takes in what is waiting, so
// Save and Clear always see every line, in order.
#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

#include "log/tracelog.h"

class QPlainTextEdit;

namespace ordalyn {

class TraceScreenLog : public QObject, public ScreenLog {
 public:
  explicit TraceScreenLog(QPlainTextEdit* view);

  void AppendLine(const std::string& line) override;
  // Inserts the waiting lines at the end of the view.
  void Flush();
  // Removes every line.
  void Clear();
  // The whole text, user edits included; lines separated by "\n".
  QString Text();
  std::size_t WaitingLines() const { return static_cast<std::size_t>(waiting_.size()); }

 private:
  QPlainTextEdit* view_;
  QStringList waiting_;
  QTimer flushTimer_;
};

}  // namespace ordalyn
