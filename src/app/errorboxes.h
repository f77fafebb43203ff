// The application's general error handler: every error raised in an action, an
// event handler or the line callback ends here, is written to standard error
// as one line "ordalyn: <text>" and shown in an error box captioned
// "Ordalyn". Boxes never nest: while one is open (its modal loop
// still delivers TAPI messages, which may fail again), further errors are
// gathered and shown together once it closes.
//
// Standard error gets a text once; the same text again is counted, and the
// count follows as "ordalyn: <text> (<n> more times)" once kRepeatInterval
// has passed since the text's last line, when another text comes, and on
// FlushRepeats (at the end, and when the file takes data again): a flood of
// refused writes is not a flood of lines.
#pragma once

#include <QString>
#include <chrono>
#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace ordalyn {

class ErrorBoxes {
 public:
  // Shows one modal box and returns when it is closed.
  using ShowBox = std::function<void(const QString& text)>;

  static constexpr std::size_t kMaxGatheredKinds = 20;
  static constexpr std::chrono::seconds kRepeatInterval{60};
  using Now = std::function<std::chrono::steady_clock::time_point()>;
  // Writes one line "ordalyn: <text>" to standard error.
  using PrintLine = std::function<void(const QString& text)>;

  ErrorBoxes();
  void SetShowBox(ShowBox show) { show_ = std::move(show); }

  // text is code page 1252, as the program's own error texts are.
  void Report(const std::string& text);
  // The file name of an IoError is shown as the system names the file.
  void Report(std::exception_ptr error);

  // Writes the count of a text that came again since its last line.
  void FlushRepeats();
  // The clock of kRepeatInterval and the line's destination (tests);
  // nullptr: the steady clock, standard error.
  void SetNow(Now now);
  void SetPrintLine(PrintLine print);

  // Runs action; whatever it throws is reported. Returns false when it threw.
  bool Guard(const std::function<void()>& action);

  bool Showing() const { return showing_; }

  // The program is ending: no box is shown any more (the event loops are
  // gone); errors go to standard error alone.
  void SetEnding(bool ending) { ending_ = ending; }

 private:
  void ReportText(const QString& message);
  void PrintOnce(const QString& message);
  void PrintRepeats();
  QString TakeGathered();

  ShowBox show_;
  bool showing_ = false;
  bool ending_ = false;
  // Gathered while a box is open: each text once, with how often it came.
  std::vector<std::pair<QString, std::size_t>> gathered_;
  std::size_t gatheredOthers_ = 0;
  // The text last written to standard error, and how often it came since.
  Now now_;
  PrintLine print_;
  QString repeated_;
  std::size_t repeats_ = 0;
  std::chrono::steady_clock::time_point repeatedSince_;
};

// The one handler of the process.
ErrorBoxes& GeneralErrorHandler();

// The text of an exception, for an error box (code page 1252).
std::string ErrorText(std::exception_ptr error);

// The same as the user reads it: the file name of an IoError as the system
// names the file (on POSIX in the locale's encoding, as typed), the rest
// code page 1252.
QString ErrorMessage(std::exception_ptr error);

}  // namespace ordalyn
