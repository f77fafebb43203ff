#include "app/dialogs/questionform.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace ordalyn {

namespace {

QPushButton* NewButton(QWidget* parent, const char* name, const QString& text, int left, int top) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setGeometry(left, top, 75, 23);
  button->setAutoDefault(true);
  return button;
}

}  // namespace

TQuestionForm::TQuestionForm(QWidget* owner, const char* name, const QString& caption, int clientWidth,
                             int clientHeight, const char* image, const QString& heading,
                             const QString& question)
    : TFixedDialog(owner, name, caption, clientWidth, clientHeight) {
  IgnoreEscape();
  image1_ = new QLabel(this);
  image1_->setObjectName("Image1");
  image1_->setGeometry(12, 12, 32, 32);
  image1_->setPixmap(QPixmap(QString::fromLatin1(image)));

  label2_ = NewLabel(this, "Label2", heading, 60, 12);
  MakeBold(label2_);

  bevel2_ = new TEtchedLine(this);
  bevel2_->setObjectName("Bevel2");
  bevel2_->setGeometry(60, 32, 237, 2);

  label1_ = NewLabel(this, "Label1", question, 60, 44);
  // The texts end at the rules' right edge, whatever font stands in for Tahoma.
  FitLabelsInto(this, {label1_, label2_}, 60 + 237);

  bevel1_ = new TEtchedLine(this);
  bevel1_->setObjectName("Bevel1");
  bevel1_->setGeometry(60, 92, 237, 2);

  btOK_ = NewButton(this, "BTOK", "&Yes", 140, 104);
  btCancel_ = NewButton(this, "BTCancel", "&Cancel", 220, 104);
  btCancel_->setDefault(true);
  setTabOrder(btOK_, btCancel_);
  connect(btOK_, &QPushButton::clicked, this, &QDialog::accept);
  connect(btCancel_, &QPushButton::clicked, this, &QDialog::reject);

  // The focus starts on "&Yes" although "&Cancel" is the default button, so
  // Enter at once answers Yes. Set before the first showing, it also keeps the
  // dialog from moving the focus to the default button.
  btOK_->setFocus();
}

void TQuestionForm::keyPressEvent(QKeyEvent* event) {
  const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier) {
    if (QPushButton* button = ButtonForLetter(event->key())) {
      event->accept();
      button->setFocus(Qt::ShortcutFocusReason);
      button->click();
      return;
    }
  }
  TFixedDialog::keyPressEvent(event);
}

}  // namespace ordalyn
