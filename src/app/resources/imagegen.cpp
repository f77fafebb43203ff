// Paints the program's pictures and writes them into one folder; the build runs
// it and compiles the results into the executables' resources.
//
//   ordalyn_imagegen OUTPUT_FOLDER [ICON_SIZE ...]
//
// Written: action0.png .. action6.png (16x16, the toolbar and menu images),
// warning.png and question.png (32x32), emblem.jpg (120x140), wordmark.jpg
// (250x44), both baseline JPEG, and marbleknot.bmp (150x20, 16 colours, 4 bits
// per pixel, uncompressed), and for each ICON_SIZE (pixels, 8 to 1024)
// appicon-ICON_SIZE.png, the application icon for the desktop, and with them
// ordalyn.ico, the same icon for Windows in every size up to 256.
#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <array>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

QImage NewImage(int width, int height, const QColor& fill) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(fill);
  return image;
}

void Antialias(QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
}

QFont BoldFont(int pixelSize) {
  QFont font;
  font.setFamilies({"DejaVu Sans", "Verdana", "Tahoma", "Arial"});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setBold(true);
  return font;
}

// The outline of a text, centred on a point.
QPainterPath CenteredText(const QString& text, const QFont& font, QPointF centre) {
  QPainterPath path;
  path.addText(0, 0, font, text);
  const QRectF box = path.boundingRect();
  path.translate(centre - box.center());
  return path;
}

// 0: stop, a red square.
QImage RedSquare() {
  QImage image = NewImage(16, 16, Qt::transparent);
  QPainter p(&image);
  Antialias(p);
  QLinearGradient fill(0, 3, 0, 13);
  fill.setColorAt(0, QColor(0xF0, 0x50, 0x40));
  fill.setColorAt(1, QColor(0xB0, 0x10, 0x10));
  p.setPen(QPen(QColor(0x80, 0x00, 0x00), 1));
  p.setBrush(fill);
  p.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 1.5, 1.5);
  return image;
}

// 1: start, a green triangle pointing right.
QImage GreenTriangle() {
  QImage image = NewImage(16, 16, Qt::transparent);
  QPainter p(&image);
  Antialias(p);
  QPainterPath path;
  path.moveTo(4, 2);
  path.lineTo(13.5, 8);
  path.lineTo(4, 14);
  path.closeSubpath();
  QLinearGradient fill(0, 2, 0, 14);
  fill.setColorAt(0, QColor(0x60, 0xD0, 0x50));
  fill.setColorAt(1, QColor(0x10, 0x90, 0x20));
  p.setPen(QPen(QColor(0x0A, 0x5A, 0x10), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(fill);
  p.drawPath(path);
  return image;
}

// 2: save, a floppy disk.
QImage FloppyDisk() {
  QImage image = NewImage(16, 16, Qt::transparent);
  QPainter p(&image);
  Antialias(p);
  QPainterPath body;
  body.moveTo(1.5, 1.5);
  body.lineTo(12.5, 1.5);
  body.lineTo(14.5, 3.5);
  body.lineTo(14.5, 14.5);
  body.lineTo(1.5, 14.5);
  body.closeSubpath();
  p.setPen(QPen(QColor(0x10, 0x20, 0x50), 1));
  p.setBrush(QColor(0x30, 0x50, 0xA0));
  p.drawPath(body);
  // Metal shutter at the top with its window.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xC8, 0xCC, 0xD4));
  p.drawRect(QRectF(4, 2, 8, 5));
  p.setBrush(QColor(0x30, 0x50, 0xA0));
  p.drawRect(QRectF(9, 3, 2, 3));
  // White label at the bottom with two ruled lines.
  p.setBrush(Qt::white);
  p.drawRect(QRectF(3, 9, 10, 5));
  p.setPen(QPen(QColor(0x90, 0x90, 0x90), 1));
  p.drawLine(QPointF(4, 10.5), QPointF(12, 10.5));
  p.drawLine(QPointF(4, 12.5), QPointF(12, 12.5));
  return image;
}

// 3: devices, a telephone handset.
QImage TelephoneHandset() {
  QImage image = NewImage(16, 16, Qt::transparent);
  QPainter p(&image);
  Antialias(p);
  // The grip: an arc from the ear piece (upper left) to the mouth piece (lower right).
  QPainterPath grip;
  grip.moveTo(3.5, 5);
  grip.cubicTo(3.5, 10.5, 6.5, 12.5, 11, 12.5);
  p.setPen(QPen(QColor(0x20, 0x20, 0x20), 3.2, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(grip);
  // The two pieces, turned across the grip's ends.
  p.setPen(QPen(QColor(0x00, 0x00, 0x00), 1));
  p.setBrush(QColor(0x40, 0x40, 0x40));
  p.save();
  p.translate(4.5, 3.5);
  p.rotate(-35);
  p.drawRoundedRect(QRectF(-3.2, -1.8, 6.4, 3.6), 1.5, 1.5);
  p.restore();
  p.save();
  p.translate(12.5, 11.5);
  p.rotate(-55);
  p.drawRoundedRect(QRectF(-3.2, -1.8, 6.4, 3.6), 1.5, 1.5);
  p.restore();
  return image;
}

// 4: clear, a blank page with a folded corner.
QImage BlankPage() {
  QImage image = NewImage(16, 16, Qt::transparent);
  QPainter p(&image);
  Antialias(p);
  QPainterPath page;
  page.moveTo(2.5, 0.5);
  page.lineTo(9.5, 0.5);
  page.lineTo(13.5, 4.5);
  page.lineTo(13.5, 15.5);
  page.lineTo(2.5, 15.5);
  page.closeSubpath();
  p.setPen(QPen(QColor(0x70, 0x70, 0x70), 1));
  p.setBrush(Qt::white);
  p.drawPath(page);
  QPainterPath corner;
  corner.moveTo(9.5, 0.5);
  corner.lineTo(9.5, 4.5);
  corner.lineTo(13.5, 4.5);
  p.setBrush(QColor(0xDD, 0xDD, 0xDD));
  p.drawPath(corner);
  return image;
}

// 5: help, a question mark in a speech bubble.
QImage QuestionBubble() {
  QImage image = NewImage(16, 16, Qt::transparent);
  QPainter p(&image);
  Antialias(p);
  QPainterPath bubble;
  bubble.addRoundedRect(QRectF(0.5, 0.5, 15, 11), 3, 3);
  QPainterPath tail;
  tail.moveTo(3.5, 10);
  tail.lineTo(3, 15.5);
  tail.lineTo(8, 10);
  tail.closeSubpath();
  bubble = bubble.united(tail);
  p.setPen(QPen(QColor(0x40, 0x60, 0x90), 1));
  p.setBrush(QColor(0xFF, 0xF8, 0xD0));
  p.drawPath(bubble);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x10, 0x40, 0xA0));
  p.drawPath(CenteredText("?", BoldFont(11), QPointF(8, 6)));
  return image;
}

// The letter "i" built from a dot and a stem, white on a blue disc.
void InfoSign(QPainter& p, double size) {
  const double s = size / 16.0;
  QRadialGradient fill(QPointF(6 * s, 5 * s), 10 * s);
  fill.setColorAt(0, QColor(0x60, 0x9C, 0xF0));
  fill.setColorAt(1, QColor(0x10, 0x40, 0xB0));
  p.setPen(QPen(QColor(0x08, 0x28, 0x78), 1));
  p.setBrush(fill);
  p.drawEllipse(QRectF(0.5 * s, 0.5 * s, 15 * s, 15 * s));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QRectF(6.8 * s, 2.8 * s, 2.4 * s, 2.4 * s));
  p.drawRect(QRectF(6.9 * s, 6.3 * s, 2.2 * s, 6.7 * s));
}

// 6: info, a blue "i" sign.
QImage BlueInfo() {
  QImage image = NewImage(16, 16, Qt::transparent);
  QPainter p(&image);
  Antialias(p);
  InfoSign(p, 16);
  return image;
}

// The warning picture: a black exclamation mark in an orange triangle.
QImage Warning() {
  QImage image = NewImage(32, 32, Qt::transparent);
  QPainter p(&image);
  Antialias(p);
  QPainterPath triangle;
  triangle.moveTo(16, 2);
  triangle.lineTo(30.5, 28.5);
  triangle.lineTo(1.5, 28.5);
  triangle.closeSubpath();
  QLinearGradient fill(0, 2, 0, 29);
  fill.setColorAt(0, QColor(0xFF, 0xB8, 0x40));
  fill.setColorAt(1, QColor(0xF0, 0x80, 0x00));
  p.setPen(QPen(QColor(0x60, 0x30, 0x00), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(fill);
  p.drawPath(triangle);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  QPainterPath stem;
  stem.moveTo(14, 10);
  stem.lineTo(18, 10);
  stem.lineTo(17, 20);
  stem.lineTo(15, 20);
  stem.closeSubpath();
  p.drawPath(stem);
  p.drawEllipse(QRectF(14.2, 21.5, 3.6, 3.6));
  return image;
}

// The question picture: a white question mark on a blue disc.
QImage Question() {
  QImage image = NewImage(32, 32, Qt::transparent);
  QPainter p(&image);
  Antialias(p);
  QRadialGradient fill(QPointF(12, 10), 20);
  fill.setColorAt(0, QColor(0x68, 0xA0, 0xF0));
  fill.setColorAt(1, QColor(0x10, 0x44, 0xB0));
  p.setPen(QPen(QColor(0x08, 0x28, 0x78), 1));
  p.setBrush(fill);
  p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPath(CenteredText("?", BoldFont(22), QPointF(16, 16)));
  return image;
}

// The product's emblem, a handset over a trace running across a blue tile,
// painted into a frame of 120x140 units.
constexpr int kEmblemWidth = 120;
constexpr int kEmblemHeight = 140;

void PaintEmblem(QPainter& p) {
  QLinearGradient tile(0, 6, 0, 134);
  tile.setColorAt(0, QColor(0x3A, 0x78, 0xD0));
  tile.setColorAt(1, QColor(0x0C, 0x2C, 0x70));
  p.setPen(QPen(QColor(0x08, 0x1C, 0x48), 2));
  p.setBrush(tile);
  p.drawRoundedRect(QRectF(6, 6, 108, 128), 14, 14);
  // The trace: a flat line with a burst of signal, then flat again.
  QPainterPath trace;
  trace.moveTo(14, 100);
  const std::array<QPointF, 9> points = {QPointF(38, 100), QPointF(44, 84),   QPointF(52, 118),
                                         QPointF(60, 76),  QPointF(68, 116),  QPointF(75, 90),
                                         QPointF(80, 100), QPointF(106, 100), QPointF(106, 100)};
  for (const QPointF& point : points) trace.lineTo(point);
  p.setPen(QPen(QColor(0xFF, 0xA0, 0x20), 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(trace);
  // Tick marks of the time scale below the trace.
  p.setPen(QPen(QColor(0xB0, 0xC8, 0xF0), 1.5));
  for (int x = 18; x <= 102; x += 12) p.drawLine(QPointF(x, 124), QPointF(x, 128));
  // The handset above, resting as on its cradle: the grip arches over the two pieces.
  QPainterPath grip;
  grip.moveTo(34, 52);
  grip.cubicTo(40, 22, 80, 22, 86, 52);
  p.setPen(QPen(Qt::white, 9, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(grip);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(18, 48, 30, 14), 6, 6);
  p.drawRoundedRect(QRectF(72, 48, 30, 14), 6, 6);
}

QImage Emblem() {
  QImage image = NewImage(kEmblemWidth, kEmblemHeight, Qt::white);
  QPainter p(&image);
  Antialias(p);
  PaintEmblem(p);
  return image;
}

// The application icon for the desktop: the emblem on a transparent square,
// scaled to the square's height and centred.
QImage AppIcon(int size) {
  QImage image = NewImage(size, size, Qt::transparent);
  QPainter p(&image);
  Antialias(p);
  const double scale = static_cast<double>(size) / kEmblemHeight;
  p.translate((size - kEmblemWidth * scale) / 2, 0);
  p.scale(scale, scale);
  PaintEmblem(p);
  return image;
}

// The product's name as a wordmark.
QImage ProductWordmark() {
  QImage image = NewImage(250, 44, Qt::white);
  QPainter p(&image);
  Antialias(p);
  QPainterPath text = CenteredText("Ordalyn", BoldFont(34), QPointF(112, 20));
  QLinearGradient fill(0, 4, 250, 36);
  fill.setColorAt(0, QColor(0x0C, 0x2C, 0x70));
  fill.setColorAt(1, QColor(0x20, 0x80, 0xC0));
  p.setPen(Qt::NoPen);
  p.setBrush(fill);
  p.drawPath(text);
  // A short trace after the name.
  p.setPen(QPen(QColor(0xF0, 0x90, 0x10), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  QPainterPath trace;
  trace.moveTo(text.boundingRect().right() + 6, 30);
  trace.lineTo(text.boundingRect().right() + 12, 30);
  trace.lineTo(text.boundingRect().right() + 15, 22);
  trace.lineTo(text.boundingRect().right() + 19, 38);
  trace.lineTo(text.boundingRect().right() + 22, 30);
  trace.lineTo(246, 30);
  p.drawPath(trace);
  p.setPen(QPen(QColor(0x20, 0x80, 0xC0), 1.5));
  p.drawLine(QPointF(6, 40.5), QPointF(text.boundingRect().right(), 40.5));
  return image;
}

// The sixteen colours of the classic display palette.
constexpr std::array<QRgb, 16> kPalette16 = {
    0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080, 0xFFC0C0C0,
    0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF,
};

int NearestPaletteIndex(QRgb colour) {
  int best = 0;
  long bestDistance = -1;
  for (int i = 0; i < static_cast<int>(kPalette16.size()); ++i) {
    const long dr = qRed(colour) - qRed(kPalette16[i]);
    const long dg = qGreen(colour) - qGreen(kPalette16[i]);
    const long db = qBlue(colour) - qBlue(kPalette16[i]);
    const long distance = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return best;
}

// The maker's wordmark, painted in palette colours only.
QImage MakerWordmark() {
  QImage image = NewImage(150, 20, Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setRenderHint(QPainter::TextAntialiasing, false);
  const QFont font = BoldFont(15);
  QPainterPath marble;
  marble.addText(0, 0, font, "Marble");
  QPainterPath knot;
  knot.addText(marble.boundingRect().right() + 1, 0, font, "knot");
  QPainterPath whole = marble.united(knot);
  const QPointF shift = QPointF(75, 9) - whole.boundingRect().center();
  marble.translate(shift);
  knot.translate(shift);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(kPalette16[4]));
  p.drawPath(marble);
  p.setBrush(QColor(kPalette16[9]));
  p.drawPath(knot);
  p.setPen(QPen(QColor(kPalette16[6]), 1));
  p.drawLine(4, 18, 145, 18);
  return image;
}

bool WriteBytes(const std::vector<std::uint8_t>& out, const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const auto written = file.write(reinterpret_cast<const char*>(out.data()), static_cast<qint64>(out.size()));
  return written == static_cast<qint64>(out.size()) && file.flush();
}

void PutLe16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  PutLe16(out, value & 0xFFFF);
  PutLe16(out, value >> 16);
}

// An uncompressed 4-bit bitmap file with the sixteen-colour palette; rows bottom up,
// each padded to a multiple of four bytes.
bool WriteBmp4(const QImage& source, const QString& fileName) {
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  const std::uint32_t width = static_cast<std::uint32_t>(image.width());
  const std::uint32_t height = static_cast<std::uint32_t>(image.height());
  const std::uint32_t stride = ((width * 4 + 31) / 32) * 4;
  const std::uint32_t paletteBytes = 16 * 4;
  const std::uint32_t offset = 14 + 40 + paletteBytes;
  const std::uint32_t imageBytes = stride * height;

  std::vector<std::uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  PutLe32(out, offset + imageBytes);
  PutLe32(out, 0);
  PutLe32(out, offset);
  PutLe32(out, 40);
  PutLe32(out, width);
  PutLe32(out, height);
  PutLe16(out, 1);  // planes
  PutLe16(out, 4);  // bits per pixel
  PutLe32(out, 0);  // no compression
  PutLe32(out, imageBytes);
  PutLe32(out, 3780);  // 96 dots per inch
  PutLe32(out, 3780);
  PutLe32(out, 16);  // colours used
  PutLe32(out, 16);  // colours important
  for (QRgb colour : kPalette16) {
    out.push_back(static_cast<std::uint8_t>(qBlue(colour)));
    out.push_back(static_cast<std::uint8_t>(qGreen(colour)));
    out.push_back(static_cast<std::uint8_t>(qRed(colour)));
    out.push_back(0);
  }
  for (int y = static_cast<int>(height) - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(stride, 0);
    for (std::uint32_t x = 0; x < width; ++x) {
      const auto index = static_cast<std::uint8_t>(NearestPaletteIndex(image.pixel(static_cast<int>(x), y)));
      row[x / 2] |= (x % 2 == 0) ? static_cast<std::uint8_t>(index << 4) : index;
    }
    out.insert(out.end(), row.begin(), row.end());
  }

  return WriteBytes(out, fileName);
}

// A Windows icon file with one PNG-compressed image per size (read so since
// Windows Vista; windres takes the file as it is). Sizes above 256 are left
// out: the format cannot name them.
bool WriteIco(const std::vector<int>& sizes, const QString& fileName) {
  std::vector<QByteArray> images;
  for (int size : sizes) {
    if (size > 256) continue;
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !AppIcon(size).save(&buffer, "PNG")) return false;
    images.push_back(png);
  }
  std::vector<std::uint8_t> out;
  PutLe16(out, 0);  // reserved
  PutLe16(out, 1);  // an icon
  PutLe16(out, static_cast<std::uint32_t>(images.size()));
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  std::size_t next = 0;
  for (int size : sizes) {
    if (size > 256) continue;
    const auto side = static_cast<std::uint8_t>(size == 256 ? 0 : size);  // 0 stands for 256
    out.insert(out.end(), {side, side, 0, 0});
    PutLe16(out, 1);   // planes
    PutLe16(out, 32);  // bits per pixel
    const auto bytes = static_cast<std::uint32_t>(images[next++].size());
    PutLe32(out, bytes);
    PutLe32(out, offset);
    offset += bytes;
  }
  for (const QByteArray& png : images) out.insert(out.end(), png.begin(), png.end());
  return WriteBytes(out, fileName);
}

bool WritePng(const QImage& image, const QString& fileName) { return image.save(fileName, "PNG"); }

// Baseline (sequential, not progressive) JPEG without alpha.
bool WriteJpeg(const QImage& image, const QString& fileName) {
  QImageWriter writer(fileName, "jpeg");
  writer.setQuality(92);
  writer.setProgressiveScanWrite(false);
  writer.setOptimizedWrite(false);
  return writer.write(image.convertToFormat(QImage::Format_RGB32));
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: ordalyn_imagegen OUTPUT_FOLDER [ICON_SIZE ...]\n");
    return 2;
  }
  std::vector<int> iconSizes;
  for (int i = 2; i < argc; ++i) {
    bool isNumber = false;
    const int size = QString::fromLocal8Bit(argv[i]).toInt(&isNumber);
    if (!isNumber || size < 8 || size > 1024) {
      std::fprintf(stderr, "ordalyn_imagegen: icon size %s is not a number from 8 to 1024\n", argv[i]);
      return 2;
    }
    iconSizes.push_back(size);
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!QDir().mkpath(folder.path())) {
    std::fprintf(stderr, "ordalyn_imagegen: cannot create %s\n", argv[1]);
    return 1;
  }

  const std::array<QImage, 7> actions = {RedSquare(), GreenTriangle(),  FloppyDisk(), TelephoneHandset(),
                                         BlankPage(), QuestionBubble(), BlueInfo()};
  bool ok = true;
  for (std::size_t i = 0; i < actions.size(); ++i) {
    ok = WritePng(actions[i], folder.filePath(QString("action%1.png").arg(i))) && ok;
  }
  ok = WritePng(Warning(), folder.filePath("warning.png")) && ok;
  ok = WritePng(Question(), folder.filePath("question.png")) && ok;
  ok = WriteJpeg(Emblem(), folder.filePath("emblem.jpg")) && ok;
  ok = WriteJpeg(ProductWordmark(), folder.filePath("wordmark.jpg")) && ok;
  ok = WriteBmp4(MakerWordmark(), folder.filePath("marbleknot.bmp")) && ok;
  for (int size : iconSizes) {
    ok = WritePng(AppIcon(size), folder.filePath(QString("appicon-%1.png").arg(size))) && ok;
  }
  if (!iconSizes.empty()) ok = WriteIco(iconSizes, folder.filePath("ordalyn.ico")) && ok;
  if (!ok) {
    std::fprintf(stderr, "ordalyn_imagegen: writing the pictures into %s failed\n", argv[1]);
    return 1;
  }
  return 0;
}
