// TQLineLabel: a caption followed by an engraved horizontal rule (a dark line
// with a light line below it) running to the label's right edge, the look of a
// group heading.
#pragma once

#include <QColor>
#include <QLabel>
#include <QPalette>
#include <optional>

class QPainter;

namespace ordalyn {

class TQLineLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TQLineLabel(QWidget* parent = nullptr);
  explicit TQLineLabel(const QString& caption, QWidget* parent = nullptr);

  // Colour of the upper rule line. Until one is assigned it follows the
  // palette's button shadow (QPalette::Dark of the active group).
  QColor lineColor3DDark() const;
  // Stores the colour as RGB when it differs from the stored one, then repaints
  // in any case.
  void setLineColor3DDark(const QColor& color);
  // The role's current colour, stored as RGB (it does not follow later changes).
  void setLineColor3DDark(QPalette::ColorRole role);

  // Colour of the lower rule line; follows the palette's button highlight
  // (QPalette::Light of the active group) until one is assigned.
  QColor lineColor3DLight() const;
  void setLineColor3DLight(const QColor& color);
  void setLineColor3DLight(QPalette::ColorRole role);

  // Gap in pixels between the end of the caption text and the rule (6).
  int lineDistance() const;
  // Stores a different value, then repaints in any case.
  void setLineDistance(int distance);

  // On (the default): "&" marks the next letter, which is underlined. Off: "&"
  // is shown as it is.
  bool showAccelChar() const;
  void setShowAccelChar(bool show);

  // Off: the background is filled with the palette's background colour first.
  // On (Qt's default for labels): the parent shows through.
  bool transparent() const;
  void setTransparent(bool transparent);

  // The x of the rule's first pixel: the width of the whole caption as one line
  // ("&" counted) plus the line distance, from the left edge whatever the
  // alignment.
  int ruleStart() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // Draws the caption into rect with the given text flags; with measureOnly it
  // draws nothing and returns the height the text needs.
  int DrawCaption(QPainter& painter, const QRect& rect, int flags, bool measureOnly) const;

  std::optional<QRgb> lineColor3DDark_;
  std::optional<QRgb> lineColor3DLight_;
  int lineDistance_ = 6;
  bool showAccelChar_ = true;
};

}  // namespace ordalyn
