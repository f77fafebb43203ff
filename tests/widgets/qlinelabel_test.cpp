#include "widgets/QLineLabel.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QTest>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

namespace ordalyn {
namespace {

const QColor kDark(200, 0, 0);
const QColor kLight(0, 0, 200);
const QColor kBackground(255, 255, 255);
const QColor kText(0, 0, 0);

// A label with a known palette and a crisp (not antialiased) font.
std::unique_ptr<TQLineLabel> MakeLabel(const QString& caption, int width, int height) {
  auto label = std::make_unique<TQLineLabel>(caption);
  QFont font = label->font();
  font.setPixelSize(11);
  font.setStyleStrategy(QFont::NoAntialias);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, kBackground);
  palette.setColor(QPalette::WindowText, kText);
  label->setPalette(palette);
  label->setTransparent(false);
  label->resize(width, height);
  return label;
}

QImage Render(QWidget& widget) {
  QImage image(widget.size(), QImage::Format_RGB32);
  image.fill(kBackground);
  widget.render(&image);
  return image;
}

int TextWidth(const TQLineLabel& label) { return QFontMetrics(label.font()).horizontalAdvance(label.text()); }

// The dark line on row y and the light one on row y + 1 cover exactly the
// columns x0 to width - 2; no other row holds either colour.
void ExpectRule(const QImage& image, int x0, int y, const QColor& dark, const QColor& light) {
  for (int row = 0; row < image.height(); ++row) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb pixel = image.pixel(x, row);
      const bool onRule = x >= x0 && x <= image.width() - 2;
      if (row == y) {
        EXPECT_EQ(pixel == dark.rgb(), onRule) << "dark row " << row << " column " << x;
      } else if (row == y + 1) {
        EXPECT_EQ(pixel == light.rgb(), onRule) << "light row " << row << " column " << x;
      } else {
        ASSERT_NE(pixel, dark.rgb()) << "row " << row << " column " << x;
        ASSERT_NE(pixel, light.rgb()) << "row " << row << " column " << x;
      }
    }
  }
}

bool HasColor(const QImage& image, const QRect& area, const QColor& color) {
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (image.pixel(x, y) == color.rgb()) {
        return true;
      }
    }
  }
  return false;
}

// Topmost row holding a text pixel, or -1.
int FirstTextRow(const QImage& image, const QColor& color) {
  for (int y = 0; y < image.height(); ++y) {
    if (HasColor(image, QRect(0, y, image.width(), 1), color)) {
      return y;
    }
  }
  return -1;
}

TEST(TQLineLabelTest, Defaults) {
  TQLineLabel label;
  EXPECT_EQ(label.lineDistance(), 6);
  EXPECT_TRUE(label.showAccelChar());
  EXPECT_FALSE(label.wordWrap());
  EXPECT_EQ(label.lineColor3DDark(), label.palette().color(QPalette::Active, QPalette::Dark));
  EXPECT_EQ(label.lineColor3DLight(), label.palette().color(QPalette::Active, QPalette::Light));
}

TEST(TQLineLabelTest, TapiLinesHeading) {
  auto label = MakeLabel("TAPI Lines", 513, 13);
  label->setLineColor3DDark(kDark);
  label->setLineColor3DLight(kLight);
  const QImage image = Render(*label);
  const int x0 = TextWidth(*label) + 6;
  EXPECT_EQ(label->ruleStart(), x0);
  ExpectRule(image, x0, 6, kDark, kLight);
  EXPECT_NE(image.pixel(512, 6), kDark.rgb());
  EXPECT_EQ(image.pixel(x0 - 1, 6), kBackground.rgb());
  EXPECT_TRUE(HasColor(image, QRect(0, 0, x0 - 6, 13), kText));
  EXPECT_FALSE(HasColor(image, QRect(x0 - 6, 0, 513 - x0 + 6, 13), kText));
}

struct RuleCase {
  std::string name;
  QString caption;
  int width;
  int height;
  int distance;
  Qt::Alignment alignment;
  bool showAccelChar;
  bool wordWrap;
};

void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.name; }

class TQLineLabelRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(TQLineLabelRuleTest, RuleStartsAfterTheCaptionWidth) {
  const RuleCase& c = GetParam();
  auto label = MakeLabel(c.caption, c.width, c.height);
  label->setAlignment(c.alignment);
  label->setShowAccelChar(c.showAccelChar);
  label->setWordWrap(c.wordWrap);
  label->setLineDistance(c.distance);
  label->setLineColor3DDark(kDark);
  label->setLineColor3DLight(kLight);
  const int x0 = TextWidth(*label) + c.distance;
  EXPECT_EQ(label->ruleStart(), x0);
  ExpectRule(Render(*label), x0, c.height / 2, kDark, kLight);
}

const Qt::Alignment kTopLeft = Qt::AlignLeft | Qt::AlignTop;

INSTANTIATE_TEST_SUITE_P(
    Cases, TQLineLabelRuleTest,
    ::testing::Values(
        RuleCase{"EmptyCaption", "", 100, 13, 6, kTopLeft, true, false},
        RuleCase{"EvenHeight", "Lines", 120, 20, 6, kTopLeft, true, false},
        RuleCase{"HeightTwelve", "Lines", 120, 12, 6, kTopLeft, true, false},
        RuleCase{"DistanceZero", "Lines", 120, 13, 0, kTopLeft, true, false},
        RuleCase{"DistanceFifteen", "Lines", 120, 13, 15, kTopLeft, true, false},
        RuleCase{"RightAligned", "TAPI Lines", 200, 13, 6, Qt::AlignRight | Qt::AlignTop, true, false},
        RuleCase{"Centred", "TAPI Lines", 200, 13, 6, Qt::AlignHCenter | Qt::AlignTop, true, false},
        RuleCase{"LayoutBottom", "Lines", 120, 30, 6, Qt::AlignLeft | Qt::AlignBottom, true, false},
        RuleCase{"LayoutCentre", "Lines", 120, 30, 6, Qt::AlignLeft | Qt::AlignVCenter, true, false},
        RuleCase{"AcceleratorCounted", "&TAPI Lines", 200, 13, 6, kTopLeft, true, false},
        RuleCase{"AcceleratorShown", "&TAPI Lines", 200, 13, 6, kTopLeft, false, false},
        RuleCase{"WrappedCaptionMeasuredUnwrapped", "TAPI Lines of the machine", 90, 40, 6, kTopLeft, true,
                 true},
        RuleCase{"NegativeDistance", "Lines", 120, 13, -4, kTopLeft, true, false}),
    [](const ::testing::TestParamInfo<RuleCase>& row) { return row.param.name; });

TEST(TQLineLabelTest, NoRuleWhenItWouldStartAtTheLastColumn) {
  auto label = MakeLabel("Lines", 10, 13);
  label->setLineColor3DDark(kDark);
  label->setLineColor3DLight(kLight);
  const int x0 = TextWidth(*label) + 6;

  label->resize(x0 + 1, 13);  // x0 is the last column
  QImage image = Render(*label);
  EXPECT_FALSE(HasColor(image, image.rect(), kDark));
  EXPECT_FALSE(HasColor(image, image.rect(), kLight));

  label->resize(x0, 13);  // beyond
  image = Render(*label);
  EXPECT_FALSE(HasColor(image, image.rect(), kDark));

  label->resize(x0 + 2, 13);  // one pixel
  image = Render(*label);
  ExpectRule(image, x0, 6, kDark, kLight);
  EXPECT_EQ(image.pixel(x0, 6), kDark.rgb());
}

TEST(TQLineLabelTest, RuleLiesOverRightAlignedText) {
  // Qt's offscreen platform under wine finds no font files: no glyph is drawn.
  if (QFontDatabase::families().isEmpty()) GTEST_SKIP() << "no fonts: no text is drawn here";
  auto label = MakeLabel("TAPI Lines", 60, 13);
  label->setAlignment(Qt::AlignRight | Qt::AlignTop);
  label->setLineDistance(-40);  // the rule starts inside the text
  label->setLineColor3DDark(kDark);
  label->setLineColor3DLight(kLight);
  const QImage image = Render(*label);
  const int x0 = TextWidth(*label) - 40;
  ExpectRule(image, x0, 6, kDark, kLight);
  EXPECT_TRUE(HasColor(image, QRect(x0, 0, 60 - x0, 6), kText));
}

TEST(TQLineLabelTest, LayoutMovesTheTextNotTheRule) {
  auto top = MakeLabel("Lines", 120, 30);
  auto centre = MakeLabel("Lines", 120, 30);
  centre->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  auto bottom = MakeLabel("Lines", 120, 30);
  bottom->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  const int lineHeight = QFontMetrics(top->font()).height();
  const int topRow = FirstTextRow(Render(*top), kText);
  ASSERT_GE(topRow, 0);
  EXPECT_EQ(FirstTextRow(Render(*centre), kText), topRow + (30 - lineHeight) / 2);
  EXPECT_EQ(FirstTextRow(Render(*bottom), kText), topRow + 30 - lineHeight);
}

TEST(TQLineLabelTest, DisabledTextIsEmbossedRuleUnchanged) {
  auto label = MakeLabel("TAPI Lines", 200, 13);
  const QColor highlight(0, 255, 0);
  const QColor shadow(255, 0, 255);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Light, highlight);
  palette.setColor(QPalette::Dark, shadow);
  label->setPalette(palette);
  label->setLineColor3DDark(kDark);
  label->setLineColor3DLight(kLight);
  const int x0 = TextWidth(*label) + 6;

  QImage image = Render(*label);
  EXPECT_FALSE(HasColor(image, image.rect(), highlight));
  EXPECT_TRUE(HasColor(image, image.rect(), kText));

  label->setEnabled(false);
  image = Render(*label);
  const QRect textArea(0, 0, x0 - 5, 13);
  EXPECT_TRUE(HasColor(image, textArea, highlight));
  EXPECT_TRUE(HasColor(image, textArea, shadow));
  EXPECT_FALSE(HasColor(image, image.rect(), kText));
  ExpectRule(image, x0, 6, kDark, kLight);
  // The highlight copy lies one pixel lower than the shadow copy.
  EXPECT_EQ(FirstTextRow(image, highlight), FirstTextRow(image, shadow) + 1);
}

TEST(TQLineLabelTest, DefaultColoursFollowThePalette) {
  auto label = MakeLabel("Lines", 120, 13);
  const int x0 = TextWidth(*label) + 6;
  QPalette palette = label->palette();
  palette.setColor(QPalette::Dark, QColor(10, 20, 30));
  palette.setColor(QPalette::Light, QColor(40, 50, 60));
  label->setPalette(palette);
  ExpectRule(Render(*label), x0, 6, QColor(10, 20, 30), QColor(40, 50, 60));

  palette.setColor(QPalette::Dark, QColor(70, 80, 90));
  label->setPalette(palette);
  EXPECT_EQ(label->lineColor3DDark(), QColor(70, 80, 90));
  ExpectRule(Render(*label), x0, 6, QColor(70, 80, 90), QColor(40, 50, 60));
}

TEST(TQLineLabelTest, AssignedColoursKeepTheirValue) {
  auto label = MakeLabel("Lines", 120, 13);
  const int x0 = TextWidth(*label) + 6;
  QPalette palette = label->palette();
  palette.setColor(QPalette::Dark, QColor(10, 20, 30));
  palette.setColor(QPalette::Light, QColor(40, 50, 60));
  label->setPalette(palette);

  label->setLineColor3DDark(QPalette::Dark);  // resolved now
  label->setLineColor3DLight(QColor::fromHsv(120, 255, 255));
  EXPECT_EQ(label->lineColor3DLight(), QColor(0, 255, 0)) << "kept as an RGB colour";
  palette.setColor(QPalette::Dark, QColor(1, 2, 3));
  palette.setColor(QPalette::Light, QColor(4, 5, 6));
  label->setPalette(palette);
  EXPECT_EQ(label->lineColor3DDark(), QColor(10, 20, 30));
  ExpectRule(Render(*label), x0, 6, QColor(10, 20, 30), QColor(0, 255, 0));
}

TEST(TQLineLabelTest, BackgroundFilledUnlessTransparent) {
  QWidget parent;
  parent.resize(100, 20);
  QPalette parentPalette = parent.palette();
  parentPalette.setColor(QPalette::Window, QColor(0, 0, 255));
  parent.setPalette(parentPalette);
  parent.setAutoFillBackground(true);
  auto* label = new TQLineLabel(QString(), &parent);
  label->setGeometry(0, 0, 100, 20);
  label->setLineDistance(500);  // no rule
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, QColor(255, 255, 0));
  label->setPalette(palette);

  EXPECT_TRUE(label->transparent());
  EXPECT_EQ(Render(parent).pixel(50, 10), QColor(0, 0, 255).rgb());
  label->setTransparent(false);
  EXPECT_EQ(Render(parent).pixel(50, 10), QColor(255, 255, 0).rgb());
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
    }
    return false;
  }
};

TEST(TQLineLabelTest, AssigningTheCurrentValueStillRepaints) {
  auto label = MakeLabel("Lines", 120, 13);
  label->setLineColor3DDark(kDark);
  label->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(label.get()));
  QCoreApplication::processEvents();
  PaintCounter counter;
  label->installEventFilter(&counter);

  QCoreApplication::processEvents();
  EXPECT_EQ(counter.paints, 0);  // nothing pending

  const std::pair<std::string, std::function<void()>> setters[] = {
      {"distance", [&] { label->setLineDistance(6); }},
      {"dark", [&] { label->setLineColor3DDark(kDark); }},
      {"light", [&] { label->setLineColor3DLight(label->lineColor3DLight()); }},
  };
  for (const auto& [name, assign] : setters) {
    counter.paints = 0;
    assign();
    QCoreApplication::processEvents();
    EXPECT_GE(counter.paints, 1) << name;
  }
  label->removeEventFilter(&counter);
}

}  // namespace
}  // namespace ordalyn
