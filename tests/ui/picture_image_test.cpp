// Engine pictures as QImages: the preview's 8-bit palette pictures and the pixel formats a
// decoded raster picture keeps (1 and 4-bit palettes, 16 and 32-bit channel masks, 24-bit).
#include <QTest>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "ui/picture_image.h"

namespace {

struct Case {
  int bits;
  std::vector<uint8_t> row;  // the first row's bytes
  std::vector<kivrel::Rgb> palette;
  std::array<uint32_t, 4> masks;
  std::vector<QRgb> expected;  // the first pixels' colours
};

kivrel::Picture Make(const Case& c) {
  kivrel::Picture p;
  p.Reset(static_cast<int32_t>(c.expected.size()), 1, c.bits);
  std::memset(p.Row(0), 0, p.stride());
  std::memcpy(p.Row(0), c.row.data(), std::min(c.row.size(), p.stride()));
  p.palette = c.palette;
  p.masks = c.masks;
  return p;
}

// A channel of n bits widened to 8 bits, rounded: the textbook v x 255 / (2^n - 1).
int Widen(int v, int bits) {
  const double top = (1 << bits) - 1;
  return static_cast<int>(std::lround(v * 255.0 / top));
}

}  // namespace

Q_DECLARE_METATYPE(Case)

class PictureImageTest : public QObject {
  Q_OBJECT

 private slots:
  void ColoursOfEachFormat_data();
  void ColoursOfEachFormat();
  void EightBitsKeepTheirIndexes();
};

void PictureImageTest::ColoursOfEachFormat_data() {
  QTest::addColumn<Case>("c");
  const kivrel::Rgb white{255, 255, 255};
  const kivrel::Rgb red{200, 0, 0};
  QTest::newRow("8 bits, palette shorter than 256: the rest is black")
      << Case{8, {1, 0, 2}, {{}, red}, {}, {qRgb(200, 0, 0), qRgb(0, 0, 0), qRgb(0, 0, 0)}};
  QTest::newRow("1 bit, first pixel in the high bit")
      << Case{1,
              {0b10100000},
              {{}, white},
              {},
              {qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(0, 0, 0)}};
  std::vector<kivrel::Rgb> grey16;
  for (int i = 0; i < 16; ++i)
    grey16.push_back({static_cast<uint8_t>(i * 17), static_cast<uint8_t>(i * 17), 0});
  QTest::newRow("4 bits, first pixel in the high nibble")
      << Case{4, {0x3A, 0xF0}, grey16, {}, {qRgb(51, 51, 0), qRgb(170, 170, 0), qRgb(255, 255, 0)}};
  QTest::newRow("16 bits without masks are 5-5-5")
      << Case{16,
              {0x00, 0x7C, 0x10, 0x00, 0xE0, 0x03},
              {},
              {},
              {qRgb(255, 0, 0), qRgb(0, 0, Widen(16, 5)), qRgb(0, 255, 0)}};
  QTest::newRow("16 bits with 5-6-5 masks")
      << Case{16,
              {0xE0, 0x07, 0x20, 0x00, 0x00, 0x08},
              {},
              {0xF800, 0x07E0, 0x001F, 0},
              {qRgb(0, 255, 0), qRgb(0, Widen(1, 6), 0), qRgb(Widen(1, 5), 0, 0)}};
  QTest::newRow("24 bits are blue, green, red")
      << Case{24, {1, 2, 3, 250, 251, 252}, {}, {}, {qRgb(3, 2, 1), qRgb(252, 251, 250)}};
  QTest::newRow("32 bits without masks are blue, green, red, unused")
      << Case{32, {10, 20, 30, 99}, {}, {}, {qRgb(30, 20, 10)}};
  QTest::newRow("32 bits with masks")
      << Case{32, {10, 20, 30, 0}, {}, {0x000000FF, 0x0000FF00, 0x00FF0000, 0}, {qRgb(10, 20, 30)}};
  QTest::newRow("32 bits with 10-bit masks") << Case{
      32, {0xFF, 0x03, 0x00, 0x00}, {}, {0x3FF00000, 0x000FFC00, 0x000003FF, 0}, {qRgb(0, 0, 255)}};
  QTest::newRow("other depths are black") << Case{2, {0xFF}, {white, white}, {}, {qRgb(0, 0, 0)}};
}

void PictureImageTest::ColoursOfEachFormat() {
  QFETCH(Case, c);
  const QImage image = kivrel::ui::ToQImage(Make(c));
  QCOMPARE(image.size(), QSize(static_cast<int>(c.expected.size()), 1));
  for (int x = 0; x < image.width(); ++x) {
    QVERIFY2(image.pixel(x, 0) == c.expected[static_cast<std::size_t>(x)],
             qPrintable(QString("pixel %1: %2, expected %3")
                            .arg(x)
                            .arg(image.pixel(x, 0), 8, 16)
                            .arg(c.expected[static_cast<std::size_t>(x)], 8, 16)));
  }
}

void PictureImageTest::EightBitsKeepTheirIndexes() {
  kivrel::Picture p;
  p.Reset(5, 3, 8);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x)
      p.Row(y)[x] = static_cast<uint8_t>(y * 5 + x);
  }
  p.palette.assign(256, kivrel::Rgb{});
  const QImage image = kivrel::ui::ToQImage(p);
  QCOMPARE(image.format(), QImage::Format_Indexed8);
  QCOMPARE(image.colorCount(), 256);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x)
      QCOMPARE(image.pixelIndex(x, y), y * 5 + x);
  }
}

QObject* NewPictureImageTest() {
  return new PictureImageTest;
}

#include "picture_image_test.moc"
