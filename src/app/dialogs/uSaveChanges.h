// The unsaved-changes question, asked when the program is closed with a
// started trace that was not saved. Accepted ("&Yes") lets the close go on.
#pragma once

#include "app/dialogs/questionform.h"

namespace ordalyn {

class TFMSaveChanges : public TQuestionForm {
 public:
  static constexpr int kClientWidth = 305;
  static constexpr int kClientHeight = 138;
  static constexpr const char* kCaption = "Unsaved changes";
  static constexpr const char* kHeading = "Unsaved changes";
  static constexpr const char* kQuestion =
      "The Log-File has been changed but not saved.\n"
      "Do you still want to quit program?";

  explicit TFMSaveChanges(QWidget* owner = nullptr);
};

}  // namespace ordalyn
