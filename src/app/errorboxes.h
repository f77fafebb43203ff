// The application's general error handler: every error raised in an action, an
// event handler or the line callback ends here, is written to standard error
// as one line "ordalyn: <text>" and shown in an error box captioned
// "Ordalyn". Boxes never nest: while one is open (its modal loop
// still delivers TAPI messages, which may fail again), further errors are
// gathered and shown together once it closes.
#pragma once

#include <QString>
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

  ErrorBoxes();
  void SetShowBox(ShowBox show) { show_ = std::move(show); }

  // text is code page 1252, as the program's own error texts are.
  void Report(const std::string& text);
  void Report(std::exception_ptr error);

  // Runs action; whatever it throws is reported. Returns false when it threw.
  bool Guard(const std::function<void()>& action);

  bool Showing() const { return showing_; }

  // The program is ending: no box is shown any more (the event loops are
  // gone); errors go to standard error alone.
  void SetEnding(bool ending) { ending_ = ending; }

 private:
  QString TakeGathered();

  ShowBox show_;
  bool showing_ = false;
  bool ending_ = false;
  // Gathered while a box is open: each text once, with how often it came.
  std::vector<std::pair<QString, std::size_t>> gathered_;
  std::size_t gatheredOthers_ = 0;
};

// The one handler of the process.
ErrorBoxes& GeneralErrorHandler();

// The text of an exception, for an error box (code page 1252).
std::string ErrorText(std::exception_ptr error);

}  // namespace ordalyn
