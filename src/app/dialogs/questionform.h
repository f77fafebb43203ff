// The layout shared by the two closing questions: a picture, a bold heading
// over an etched rule, the question text, a second rule, and the buttons
// "&Yes" (result Accepted) and "&Cancel" (result Rejected, the default button).
#pragma once

#include "app/dialogs/dialogbase.h"

class QKeyEvent;
class QLabel;
class QPushButton;

namespace ordalyn {

class TEtchedLine;

class TQuestionForm : public TFixedDialog {
 public:
  // image: resource path of the 32x32 picture.
  TQuestionForm(QWidget* owner, const char* name, const QString& caption, int clientWidth, int clientHeight,
                const char* image, const QString& heading, const QString& question);

  QLabel* Image1() const { return image1_; }
  QLabel* Label1() const { return label1_; }
  QLabel* Label2() const { return label2_; }
  TEtchedLine* Bevel1() const { return bevel1_; }
  TEtchedLine* Bevel2() const { return bevel2_; }
  QPushButton* BTOK() const { return btOK_; }
  QPushButton* BTCancel() const { return btCancel_; }

 protected:
  // A plain Y or C clicks its button. Escape does nothing: no button is bound
  // to it; the title bar's close button still gives Rejected.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLabel* image1_;
  QLabel* label2_;
  TEtchedLine* bevel2_;
  QLabel* label1_;
  TEtchedLine* bevel1_;
  QPushButton* btOK_;
  QPushButton* btCancel_;
};

}  // namespace ordalyn
