// Pieces shared by the program's small dialogs: the dialog font, the etched
// rule, and a fixed-size dialog that is centred over its owner the first time
// it is shown and keeps its place afterwards.
#pragma once

#include <QDialog>
#include <QFont>
#include <QWidget>

#include <functional>
#include <initializer_list>

class QLabel;
class QPushButton;

namespace ordalyn {

// Tahoma, 11 pixels high (8 points at 96 dots per inch); where Tahoma is not
// installed the nearest sans-serif face of that size.
QFont DialogFont();

// An etched horizontal rule along the top edge of its rectangle: a dark line
// with a light line below it. The whole rectangle swallows mouse clicks.
class TEtchedLine : public QWidget {
 public:
  explicit TEtchedLine(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// A plain-text label at a position, sized to its text.
QLabel* NewLabel(QWidget* parent, const char* name, const QString& text, int left, int top);

// Makes a label's text bold while it keeps following its parent's font.
void MakeBold(QLabel* label);

// Where the dialog font is a stand-in wider than Tahoma, narrows the font of
// `window` just enough that every label (sized to its text) ends at or before
// x = maxRight; the labels are resized. Does nothing when they already fit.
void FitLabelsInto(QWidget* window, std::initializer_list<QLabel*> labels, int maxRight);

// How far a window's frame (title bar and borders) reaches beyond its client
// area on each side; empty while the window has no frame (not yet shown, or
// no window manager).
QMargins FrameMargins(const QWidget* window);

// Keeps a window placed by its frame during its first showing. The frame is
// known only once the window is shown, and under X11 only once the window
// manager has put it around the window, a moment later: `place` runs again
// whenever the frame changes, from now until the window is first hidden. A
// window moved by the user keeps its frame, so it stays where the user put it.
void PlaceByFrame(QWidget* window, std::function<void()> place);

// Puts the window's frame, not its client area, at a point of the screen.
// expectedFrame stands in for the frame while the window has none yet.
void MoveFrameTo(QWidget* window, QPoint topLeft, QMargins expectedFrame = {});

// The part of the window's screen that windows may cover (without the
// desktop's panels); the primary screen's when the window has none yet.
QRect AvailableArea(const QWidget* window);

// The top left corner that keeps a frame of this size inside the area; a
// frame larger than the area keeps its top left corner (and so its title bar)
// on it.
QPoint KeepInside(QRect frame, const QRect& area);

// Centres the window's frame over the owner's frame (or the screen when there
// is no owner), kept inside the available area. A window not framed yet is
// expected to get a frame like its owner's.
void CentreFrameOver(QWidget* window, const QWidget* owner);

// A dialog with a fixed client size, a title bar with only the close button,
// and the dialog font. The first showing centres it over its owner (or the
// screen when it has none); later showings keep the place where it was.
class TFixedDialog : public QDialog {
 public:
  TFixedDialog(QWidget* owner, const char* name, const QString& caption, int clientWidth, int clientHeight);

  // Centres the dialog's frame over its owner's frame (or the screen).
  void CentreOverOwner();

  void setVisible(bool visible) override;

 protected:
  void showEvent(QShowEvent* event) override;
  // Escape closes the dialog unless IgnoreEscape was called: then it has no
  // effect, as in a dialog without a cancel button.
  void keyPressEvent(QKeyEvent* event) override;
  void IgnoreEscape() { ignoreEscape_ = true; }

  // The button that the plain letter key (without Alt) clicks, as a Windows
  // dialog does for the underlined letters of its buttons while a button has
  // the focus; null when the letter belongs to no button.
  QPushButton* ButtonForLetter(int key) const;

 private:
  bool ignoreEscape_ = false;
};

}  // namespace ordalyn
