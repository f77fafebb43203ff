// The pictures compiled into the executable: present, of the right size and
// file format, and showing what their place needs.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <cstdint>
#include <ostream>
#include <string>

#include "app/resources/appimages.h"

namespace ordalyn {
namespace {

QByteArray ReadResource(const char* path) {
  QFile file(QString::fromLatin1(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

std::uint32_t Le(const QByteArray& bytes, int offset, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(bytes.at(offset + i));
  return value;
}

struct ImageCase {
  const char* path;
  const char* format;  // as QImageReader names it
  QSize size;
};

void PrintTo(const ImageCase& c, std::ostream* os) { *os << c.path; }

class ImageResourceTest : public ::testing::TestWithParam<ImageCase> {};

TEST_P(ImageResourceTest, LoadsWithItsSizeAndFormat) {
  const ImageCase& c = GetParam();
  ASSERT_TRUE(QFile::exists(c.path)) << c.path;
  QImageReader reader(QString::fromLatin1(c.path));
  EXPECT_EQ(reader.format(), QByteArray(c.format));
  EXPECT_EQ(reader.size(), c.size);
  const QImage image = reader.read();
  ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
  EXPECT_EQ(image.size(), c.size);
}

const ImageCase kImages[] = {
    {appimages::kActionImages[0], "png", {16, 16}},        {appimages::kActionImages[1], "png", {16, 16}},
    {appimages::kActionImages[2], "png", {16, 16}},        {appimages::kActionImages[3], "png", {16, 16}},
    {appimages::kActionImages[4], "png", {16, 16}},        {appimages::kActionImages[5], "png", {16, 16}},
    {appimages::kActionImages[6], "png", {16, 16}},        {appimages::kWarningImage, "png", {32, 32}},
    {appimages::kQuestionImage, "png", {32, 32}},          {appimages::kEmblemImage, "jpeg", {120, 140}},
    {appimages::kProductWordmarkImage, "jpeg", {250, 44}}, {appimages::kMakerWordmarkImage, "bmp", {150, 20}},
};

INSTANTIATE_TEST_SUITE_P(AppImages, ImageResourceTest, ::testing::ValuesIn(kImages),
                         [](const ::testing::TestParamInfo<ImageCase>& param) {
                           std::string name = QString::fromLatin1(param.param.path).mid(9).toStdString();
                           for (char& ch : name) {
                             if (ch == '.') ch = '_';
                           }
                           return name;
                         });

TEST(AppImages, JpegReaderIsAvailable) {
  EXPECT_TRUE(QImageReader::supportedImageFormats().contains("jpeg"));
  EXPECT_TRUE(QImageReader::supportedImageFormats().contains("bmp"));
}

// The frame marker of a JPEG file (0xC0 baseline, 0xC2 progressive, ...) and
// its number of colour components; marker 0 when none is found.
struct JpegFrame {
  int marker = 0;
  int components = 0;
};

JpegFrame ReadJpegFrame(const QByteArray& bytes) {
  JpegFrame frame;
  if (bytes.size() < 4 || static_cast<std::uint8_t>(bytes[0]) != 0xFF ||
      static_cast<std::uint8_t>(bytes[1]) != 0xD8)
    return frame;
  int pos = 2;
  while (pos + 4 <= bytes.size()) {
    if (static_cast<std::uint8_t>(bytes[pos]) != 0xFF) return frame;
    const int marker = static_cast<std::uint8_t>(bytes[pos + 1]);
    const int length =
        (static_cast<std::uint8_t>(bytes[pos + 2]) << 8) | static_cast<std::uint8_t>(bytes[pos + 3]);
    const bool isFrame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (isFrame) {
      frame.marker = marker;
      if (pos + 9 < bytes.size()) frame.components = static_cast<std::uint8_t>(bytes[pos + 9]);
      return frame;
    }
    if (marker == 0xDA) return frame;  // scan data before any frame header
    pos += 2 + length;
  }
  return frame;
}

TEST(AppImages, JpegsAreBaselineAndInColour) {
  for (const char* path : {appimages::kEmblemImage, appimages::kProductWordmarkImage}) {
    SCOPED_TRACE(path);
    const QByteArray bytes = ReadResource(path);
    ASSERT_FALSE(bytes.isEmpty());
    const JpegFrame frame = ReadJpegFrame(bytes);
    EXPECT_EQ(frame.marker, 0xC0);
    EXPECT_EQ(frame.components, 3);
    EXPECT_FALSE(QImage(QString::fromLatin1(path)).allGray());
  }
}

TEST(AppImages, MakerWordmarkIsAnUncompressedSixteenColourBitmap) {
  const QByteArray bytes = ReadResource(appimages::kMakerWordmarkImage);
  ASSERT_GE(bytes.size(), 54);
  EXPECT_EQ(bytes.left(2), QByteArray("BM"));
  EXPECT_EQ(Le(bytes, 2, 4), static_cast<std::uint32_t>(bytes.size()));
  EXPECT_EQ(Le(bytes, 14, 4), 40u);   // BITMAPINFOHEADER
  EXPECT_EQ(Le(bytes, 18, 4), 150u);  // width
  EXPECT_EQ(Le(bytes, 22, 4), 20u);   // height, bottom-up
  EXPECT_EQ(Le(bytes, 26, 2), 1u);    // planes
  EXPECT_EQ(Le(bytes, 28, 2), 4u);    // bits per pixel
  EXPECT_EQ(Le(bytes, 30, 4), 0u);    // BI_RGB: no compression
  const std::uint32_t colours = Le(bytes, 46, 4);
  EXPECT_TRUE(colours == 0 || colours == 16) << colours;
  // Header, palette of 16 entries, then 20 rows of 76 bytes (150 pixels at 4 bits, padded to 4 bytes).
  EXPECT_EQ(Le(bytes, 10, 4), 14u + 40u + 16u * 4u);
  EXPECT_EQ(static_cast<std::uint32_t>(bytes.size()), 14u + 40u + 16u * 4u + 20u * 76u);

  const QImage image(QString::fromLatin1(appimages::kMakerWordmarkImage));
  ASSERT_EQ(image.format(), QImage::Format_Indexed8);
  EXPECT_LE(image.colorCount(), 16);
  EXPECT_FALSE(image.allGray());
}

QColor Pixel(const char* path, int x, int y) { return QImage(QString::fromLatin1(path)).pixelColor(x, y); }

// The images show what their index stands for: spot checks of one pixel each.
TEST(AppImages, ActionImagesInTheirIndexOrder) {
  const QColor stop = Pixel(appimages::kActionImages[0], 8, 8);
  EXPECT_GT(stop.red(), 150);
  EXPECT_LT(stop.green(), 100);
  const QColor start = Pixel(appimages::kActionImages[1], 7, 8);
  EXPECT_GT(start.green(), 120);
  EXPECT_LT(start.red(), 120);
  const QColor floppy = Pixel(appimages::kActionImages[2], 2, 8);
  EXPECT_GT(floppy.blue(), floppy.red() + 50);
  const QColor page = Pixel(appimages::kActionImages[4], 6, 10);
  EXPECT_EQ(page, QColor(Qt::white));
  const QColor info = Pixel(appimages::kActionImages[6], 3, 8);
  EXPECT_GT(info.blue(), info.red() + 80);
  EXPECT_EQ(Pixel(appimages::kActionImages[6], 8, 9), QColor(Qt::white));
  for (const char* path : appimages::kActionImages) {
    SCOPED_TRACE(path);
    const QImage image(QString::fromLatin1(path));
    EXPECT_TRUE(image.hasAlphaChannel());
    EXPECT_EQ(image.pixelColor(0, 15).alpha(), 0) << "lower left corner is see-through";
  }
}

TEST(AppImages, WarningAndQuestionPictures) {
  // Orange triangle with a black mark, transparent around it.
  EXPECT_EQ(Pixel(appimages::kWarningImage, 0, 0).alpha(), 0);
  const QColor orange = Pixel(appimages::kWarningImage, 10, 24);
  EXPECT_GT(orange.red(), 200);
  EXPECT_GT(orange.green(), 90);
  EXPECT_LT(orange.blue(), 90);
  const QColor mark = Pixel(appimages::kWarningImage, 16, 14);
  EXPECT_LT(mark.red() + mark.green() + mark.blue(), 60);
  // Blue disc with white in its middle column (the question mark's dot).
  EXPECT_EQ(Pixel(appimages::kQuestionImage, 0, 0).alpha(), 0);
  const QColor disc = Pixel(appimages::kQuestionImage, 6, 16);
  EXPECT_GT(disc.blue(), disc.red() + 80);
  const QImage question(QString::fromLatin1(appimages::kQuestionImage));
  int white = 0;
  for (int y = 0; y < 32; ++y) {
    if (question.pixelColor(16, y) == QColor(Qt::white)) ++white;
  }
  EXPECT_GE(white, 3);
}

}  // namespace
}  // namespace ordalyn
