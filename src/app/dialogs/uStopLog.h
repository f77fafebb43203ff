// The stop-logging question, asked when the program is closed while a
// background trace runs. Accepted ("&Yes") lets the close go on.
#pragma once

#include "app/dialogs/questionform.h"

namespace ordalyn {

class TFMStopLog : public TQuestionForm {
 public:
  static constexpr int kClientWidth = 306;
  static constexpr int kClientHeight = 137;
  static constexpr const char* kCaption = "Stop logging";
  static constexpr const char* kHeading = "Stop TAPI Logging";
  static constexpr const char* kQuestion =
      "Ordalyn is logging in the background.\n"
      "Are you really sure to stop logging \n"
      "and quit the application?";

  explicit TFMStopLog(QWidget* owner = nullptr);
};

}  // namespace ordalyn
