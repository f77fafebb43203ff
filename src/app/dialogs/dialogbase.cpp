#include "app/dialogs/dialogbase.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QWindow>

#include <algorithm>

namespace ordalyn {

QFont DialogFont() {
  QFont font;
  font.setFamilies({"Tahoma", "Liberation Sans", "Arial", "DejaVu Sans"});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(11);
  return font;
}

TEtchedLine::TEtchedLine(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_NoMousePropagation, true); }

void TEtchedLine::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawLine(0, 0, width() - 1, 0);
  painter.setPen(palette().color(QPalette::Light));
  painter.drawLine(0, 1, width() - 1, 1);
}

void TEtchedLine::mousePressEvent(QMouseEvent* event) { event->accept(); }
void TEtchedLine::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }
void TEtchedLine::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setText(text);
  label->move(left, top);
  label->adjustSize();
  return label;
}

void MakeBold(QLabel* label) {
  QFont bold;
  bold.setBold(true);
  label->setFont(bold);
  label->adjustSize();
}

void FitLabelsInto(QWidget* window, std::initializer_list<QLabel*> labels, int maxRight) {
  // The stretch that fits the widest label, at least 75 % of the normal width.
  int stretch = 100;
  for (QLabel* label : labels) {
    const int available = maxRight - label->x();
    const int width = label->sizeHint().width();
    if (width > available && available > 0) stretch = std::min(stretch, (100 * available) / width);
  }
  if (stretch == 100) return;
  // Glyph widths round to whole pixels, so the proportional guess may still
  // be a pixel or two too wide: narrow further until everything fits.
  const auto fits = [&] {
    for (QLabel* label : labels) {
      if (label->x() + label->sizeHint().width() > maxRight) return false;
    }
    return true;
  };
  QFont narrower = window->font();
  for (stretch = std::max(75, stretch);; --stretch) {
    narrower.setStretch(stretch);
    window->setFont(narrower);
    if (stretch == 75 || fits()) break;
  }
  for (QLabel* label : labels) label->adjustSize();
}

namespace {

// Watches the window until it is first hidden; see PlaceByFrame.
class FramePlacement : public QObject {
 public:
  FramePlacement(QWidget* window, std::function<void()> place)
      : QObject(window), window_(window), place_(std::move(place)) {
    window->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != window_) return false;
    switch (event->type()) {
      case QEvent::Show:
        // Placed at each first showing (before the window is mapped), and
        // again whenever the frame turns out different.
        if (!shown_) {
          shown_ = true;
          Place();
          break;
        }
        [[fallthrough]];
      case QEvent::Move:
      case QEvent::Resize:
        if (FrameMargins(window_) != placedIn_) Place();
        break;
      case QEvent::Hide:
        window_->removeEventFilter(this);
        deleteLater();
        break;
      default:
        break;
    }
    return false;
  }

 private:
  void Place() {
    if (placing_) return;
    placing_ = true;
    placedIn_ = FrameMargins(window_);
    place_();
    placing_ = false;
  }

  QWidget* window_;
  std::function<void()> place_;
  QMargins placedIn_;
  bool placing_ = false;
  bool shown_ = false;
};

}  // namespace

QMargins FrameMargins(const QWidget* window) {
  // The window's own report knows the frame as soon as the platform does
  // (on Windows and offscreen before the first showing); the widget's
  // geometry learns it only when the window is shown.
  if (const QWindow* handle = window->windowHandle()) return handle->frameMargins();
  const QRect frame = window->frameGeometry();
  const QRect client = window->geometry();
  return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
          frame.bottom() - client.bottom()};
}

void PlaceByFrame(QWidget* window, std::function<void()> place) {
  new FramePlacement(window, std::move(place));
}

void MoveFrameTo(QWidget* window, QPoint topLeft, QMargins expectedFrame) {
  QMargins frame = FrameMargins(window);
  if (frame.isNull()) frame = expectedFrame;
  if (window->windowHandle() != nullptr) {
    // The client area is placed (with the frame known or expected, or with
    // no frame at all), which every window manager keeps where it is asked
    // to be; the widget's own geometry follows at once (a showing under way
    // would restore an older one). A frame that turns out different is
    // corrected by PlaceByFrame.
    window->setGeometry(QRect(topLeft + QPoint(frame.left(), frame.top()), window->size()));
  } else {
    // Before the window exists a move is taken as the frame's position.
    window->move(topLeft);
  }
}

QRect AvailableArea(const QWidget* window) {
  const QScreen* screen = window != nullptr ? window->screen() : nullptr;
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->availableGeometry() : QRect();
}

QPoint KeepInside(QRect frame, const QRect& area) {
  if (!area.isValid()) return frame.topLeft();
  frame.moveRight(std::min(frame.right(), area.right()));
  frame.moveBottom(std::min(frame.bottom(), area.bottom()));
  frame.moveLeft(std::max(frame.left(), area.left()));
  frame.moveTop(std::max(frame.top(), area.top()));
  return frame.topLeft();
}

void CentreFrameOver(QWidget* window, const QWidget* owner) {
  QMargins frame = FrameMargins(window);
  // Not framed yet: the window manager will frame it as it framed its owner.
  if (frame.isNull() && owner != nullptr) frame = FrameMargins(owner);
  const QSize outer = window->size().grownBy(frame);
  const QRect screen = AvailableArea(owner != nullptr ? owner : window);
  const QRect over = owner != nullptr ? owner->frameGeometry() : screen.isValid() ? screen : QRect({}, outer);
  const QPoint centred(over.left() + (over.width() - outer.width()) / 2,
                       over.top() + (over.height() - outer.height()) / 2);
  MoveFrameTo(window, KeepInside(QRect(centred, outer), screen), frame);
}

TFixedDialog::TFixedDialog(QWidget* owner, const char* name, const QString& caption, int clientWidth,
                           int clientHeight)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(name);
  setWindowTitle(caption);
  setFont(DialogFont());
  setFixedSize(clientWidth, clientHeight);
  setSizeGripEnabled(false);
  PlaceByFrame(this, [this] { CentreOverOwner(); });
}

void TFixedDialog::CentreOverOwner() {
  CentreFrameOver(this, parentWidget() != nullptr ? parentWidget()->window() : nullptr);
}

void TFixedDialog::setVisible(bool visible) {
  // The first showing centres the dialog; before the dialog's window exists,
  // a move places its frame.
  if (visible && !testAttribute(Qt::WA_Moved)) CentreOverOwner();
  QDialog::setVisible(visible);
}

void TFixedDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The first showing was centred over the owner; from now on the dialog is
  // treated as placed, so it reappears where it was last.
  setAttribute(Qt::WA_Moved, true);
}

void TFixedDialog::keyPressEvent(QKeyEvent* event) {
  if (ignoreEscape_ && event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

QPushButton* TFixedDialog::ButtonForLetter(int key) const {
  if (key < Qt::Key_A || key > Qt::Key_Z) return nullptr;
  const auto buttons = findChildren<QPushButton*>();
  for (QPushButton* button : buttons) {
    if (!button->isVisible() || !button->isEnabled()) continue;
    const QKeySequence mnemonic = QKeySequence::mnemonic(button->text());
    if (!mnemonic.isEmpty() && (mnemonic[0].key() == static_cast<Qt::Key>(key))) return button;
  }
  return nullptr;
}

}  // namespace ordalyn
