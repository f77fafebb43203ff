// The on-screen log over the main window's text view. Inserting one line at a
// time costs an edit block, a scroll and a repaint per line, and in a flood
// the telephony messages arrive one per event loop pass, so lines are gathered
// for up to kGatherMilliseconds and inserted in one edit block: the view is
// repainted at most twenty times a second and a line appears at most that late.
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
  static constexpr int kGatherMilliseconds = 50;

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
