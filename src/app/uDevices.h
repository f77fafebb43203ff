// The TAPI lines dialog: every line device in long form with its media modes
// and negotiated version, the suggested voice line marked, and the count.
// It is filled once, when it is created at start-up.
#pragma once

#include "app/dialogs/dialogbase.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ordalyn {

class TapiPlatform;
class TQLineLabel;
struct TapiState;

class TFMDevices : public TFixedDialog {
 public:
  static constexpr int kClientWidth = 529;
  static constexpr int kClientHeight = 321;

  TFMDevices(TapiPlatform& platform, TapiState& state, QWidget* owner = nullptr);

  QPlainTextEdit* MEDevices() const { return meDevices_; }
  QLabel* LBCount() const { return lbCount_; }

 private:
  void FormCreate(TapiPlatform& platform, TapiState& state);

  TQLineLabel* qLineLabel1_;
  QPlainTextEdit* meDevices_;
  QLabel* lbCount_;
  QLabel* label1_;
  QPushButton* btOK_;
};

}  // namespace ordalyn
