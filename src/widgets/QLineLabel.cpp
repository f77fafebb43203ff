#include "widgets/QLineLabel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

namespace ordalyn {

namespace {

// The colour groups of the system colours the label uses: fixed, so a disabled
// or inactive label draws its rule in the same colours.
QColor SystemColor(const QPalette& palette, QPalette::ColorRole role) {
  return palette.color(QPalette::Active, role);
}

}  // namespace

TQLineLabel::TQLineLabel(QWidget* parent) : TQLineLabel(QString(), parent) {}

TQLineLabel::TQLineLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
  setTextFormat(Qt::PlainText);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

QColor TQLineLabel::lineColor3DDark() const {
  return lineColor3DDark_ ? QColor::fromRgba(*lineColor3DDark_) : SystemColor(palette(), QPalette::Dark);
}

void TQLineLabel::setLineColor3DDark(const QColor& color) {
  if (!lineColor3DDark_ || *lineColor3DDark_ != color.rgba()) {
    lineColor3DDark_ = color.rgba();
  }
  update();
}

void TQLineLabel::setLineColor3DDark(QPalette::ColorRole role) {
  setLineColor3DDark(SystemColor(palette(), role));
}

QColor TQLineLabel::lineColor3DLight() const {
  return lineColor3DLight_ ? QColor::fromRgba(*lineColor3DLight_) : SystemColor(palette(), QPalette::Light);
}

void TQLineLabel::setLineColor3DLight(const QColor& color) {
  if (!lineColor3DLight_ || *lineColor3DLight_ != color.rgba()) {
    lineColor3DLight_ = color.rgba();
  }
  update();
}

void TQLineLabel::setLineColor3DLight(QPalette::ColorRole role) {
  setLineColor3DLight(SystemColor(palette(), role));
}

int TQLineLabel::lineDistance() const { return lineDistance_; }

void TQLineLabel::setLineDistance(int distance) {
  lineDistance_ = distance;
  update();
}

bool TQLineLabel::showAccelChar() const { return showAccelChar_; }

void TQLineLabel::setShowAccelChar(bool show) {
  if (show != showAccelChar_) {
    showAccelChar_ = show;
    update();
  }
}

bool TQLineLabel::transparent() const { return !autoFillBackground(); }

void TQLineLabel::setTransparent(bool transparent) {
  if (transparent != this->transparent()) {
    setAutoFillBackground(!transparent);
    update();
  }
}

int TQLineLabel::ruleStart() const { return QFontMetrics(font()).horizontalAdvance(text()) + lineDistance_; }

void TQLineLabel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRect client = rect();
  if (!transparent()) {
    painter.fillRect(client, palette().color(backgroundRole()));
  }

  const Qt::Alignment horizontal =
      QStyle::visualAlignment(layoutDirection(), alignment()) & Qt::AlignHorizontal_Mask;
  const int flags = Qt::TextExpandTabs | (wordWrap() ? Qt::TextWordWrap : 0) | static_cast<int>(horizontal);

  QRect textRect = client;
  const Qt::Alignment vertical = alignment() & Qt::AlignVertical_Mask;
  if ((vertical & (Qt::AlignBottom | Qt::AlignVCenter)) != 0) {
    const int textHeight = DrawCaption(painter, client, flags, true);
    const int free = height() - textHeight;
    textRect.translate(0, (vertical & Qt::AlignBottom) != 0 ? free : free / 2);
  }
  DrawCaption(painter, textRect, flags, false);

  // The rule: from the caption's end plus the distance to the second-last column.
  const int x0 = ruleStart();
  const int y = client.height() / 2;
  const int length = width() - 1 - x0;
  if (length > 0) {
    painter.fillRect(QRect(x0, y, length, 1), lineColor3DDark());
    painter.fillRect(QRect(x0, y + 1, length, 1), lineColor3DLight());
  }
}

int TQLineLabel::DrawCaption(QPainter& painter, const QRect& rect, int flags, bool measureOnly) const {
  QString caption = text();
  if (measureOnly && (caption.isEmpty() || (showAccelChar_ && caption == QStringLiteral("&")))) {
    caption += QLatin1Char(' ');  // one line's height
  }
  if (showAccelChar_) {
    flags |= Qt::TextShowMnemonic;
  }
  painter.setFont(font());
  if (measureOnly) {
    return painter.fontMetrics().boundingRect(rect, flags, caption).height();
  }
  if (isEnabled()) {
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(rect, flags, caption);
  } else {
    // Embossed: the highlight one pixel down and right, the shadow on top.
    painter.setPen(SystemColor(palette(), QPalette::Light));
    painter.drawText(rect.translated(1, 1), flags, caption);
    painter.setPen(SystemColor(palette(), QPalette::Dark));
    painter.drawText(rect, flags, caption);
  }
  return 0;
}

}  // namespace ordalyn
