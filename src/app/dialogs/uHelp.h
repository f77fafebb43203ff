// The usage help: the command line of background mode in an editable text,
// and "OK". Edits stay until the program ends.
#pragma once

#include <array>
#include <string>

#include "app/dialogs/dialogbase.h"

class QPlainTextEdit;
class QPushButton;

namespace ordalyn {

class TFMHelp : public TFixedDialog {
 public:
  static constexpr int kClientWidth = 498;
  static constexpr int kClientHeight = 306;
  static constexpr const char* kCaption = "How to use ...";

  // The usage text as it first appears, line by line.
  static const std::array<const char*, 17>& UsageLines();
  // The lines joined by "\n", as the text field holds them.
  static std::string UsageText();

  explicit TFMHelp(QWidget* owner = nullptr);

  QPlainTextEdit* Memo1() const { return memo1_; }
  QPushButton* BTOK() const { return btOK_; }

 private:
  QPlainTextEdit* memo1_;
  QPushButton* btOK_;
};

}  // namespace ordalyn
