// The real-size window through its widgets: opened by "Taille réelle", sized from the preview
// bitmap, zoomed with + and -, closed with Esc, and back at its own size on the next opening.
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "ui/big_ima_form.h"
#include "ui/load_astro_form.h"
#include "ui/widgets.h"
#include "ui_test_support.h"

using kivrel::test::ClickRow;
using kivrel::test::Control;
using kivrel::test::MakeDialog;

class BigImaTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();
  void PlusThreeTimesGivesZoomX8();
  void MinusThreeTimesGivesAnEighth();
  void WindowFitsThePictureAndTheScreen_data();
  void WindowFitsThePictureAndTheScreen();
  void ZoomKeepsThePlaceShown();
  void ZoomedPictureShowsEachSampleAsABlock();

 private:
  void OpenRealSize();
  std::unique_ptr<kivrel::ui::TLoadAstroForm> dialog_;
  std::unique_ptr<kivrel::ui::TBigImaForm> big_ima_;
};

void BigImaTest::init() {
  dialog_ = MakeDialog();
  big_ima_ = std::make_unique<kivrel::ui::TBigImaForm>();
  dialog_->SetBigImaForm(big_ima_.get());
}

void BigImaTest::cleanup() {
  big_ima_.reset();
  dialog_.reset();
}

void BigImaTest::OpenRealSize() {
  QTest::mouseClick(Control<QPushButton>(dialog_.get(), "SpeedButton1"), Qt::LeftButton);
}

void BigImaTest::PlusThreeTimesGivesZoomX8() {
  QVERIFY(ClickRow(dialog_->FileList(), "m51_tan16.fits", Qt::LeftButton));
  OpenRealSize();
  QVERIFY(big_ima_->isVisible());
  const QString status = Control<QLabel>(dialog_.get(), "Label2")->text();
  QCOMPARE(big_ima_->windowTitle(), status);
  QCOMPARE(big_ima_->Picture()->size(), QSize(240, 180));
  QVERIFY(kivrel::test::SamePixels(big_ima_->Picture()->Image(), dialog_->Preview()->Image()));

  const char* const factors[] = {"2", "4", "8"};
  for (const char* factor : factors) {
    QTest::keyClick(big_ima_.get(), '+');
    QCOMPARE(big_ima_->windowTitle(), status + "  Zoom x" + factor);
  }
  QCOMPARE(big_ima_->Picture()->size(), QSize(1920, 1440));
  QTest::keyClick(big_ima_.get(), '+');  // no further than 8
  QCOMPARE(big_ima_->windowTitle(), status + "  Zoom x8");
  QCOMPARE(big_ima_->Picture()->size(), QSize(1920, 1440));

  QTest::keyClick(big_ima_.get(), Qt::Key_Escape);
  QVERIFY(!big_ima_->isVisible());
  OpenRealSize();  // the next opening starts afresh
  QCOMPARE(big_ima_->windowTitle(), status);
  QCOMPARE(big_ima_->Picture()->size(), QSize(240, 180));
  big_ima_->close();
  QVERIFY(!big_ima_->isVisible());
}

void BigImaTest::MinusThreeTimesGivesAnEighth() {
  QVERIFY(ClickRow(dialog_->FileList(), "galactic64.fits", Qt::LeftButton));
  OpenRealSize();
  const QString base = big_ima_->windowTitle();
  const QSize own = big_ima_->Picture()->size();
  QCOMPARE(own, QSize(100, 100));
  for (const char* factor : {"0.5", "0.25", "0.125", "0.125"}) {
    QTest::keyClick(big_ima_.get(), '-');
    QCOMPARE(big_ima_->windowTitle(), base + "  Zoom x" + factor);
  }
  // 100 -> 50 -> 25 -> 12: each step halves the current size.
  QCOMPARE(big_ima_->Picture()->size(), QSize(12, 12));
  QTest::keyClick(big_ima_.get(), '+');
  QCOMPARE(big_ima_->Picture()->size(), QSize(24, 24));
  QTest::keyClick(big_ima_.get(), 'a');  // any other key does nothing
  QCOMPARE(big_ima_->windowTitle(), base + "  Zoom x0.25");
  big_ima_->close();
}

void BigImaTest::WindowFitsThePictureAndTheScreen_data() {
  QTest::addColumn<QSize>("picture");
  QTest::addColumn<QSize>("window");  // before the screen's limit
  QTest::newRow("small picture: its size plus the borders") << QSize(100, 50) << QSize(120, 90);
  QTest::newRow("wider and taller than the screen") << QSize(4000, 3000) << QSize(4020, 3040);
}

void BigImaTest::WindowFitsThePictureAndTheScreen() {
  QFETCH(QSize, picture);
  QFETCH(QSize, window);
  // A picture of that size in the preview bitmap, as the engine holds it.
  kivrel::BrowserLogic& b = dialog_->Logic();
  b.ImaBitmap.Reset(picture.width(), picture.height(), 8);
  b.ImaBitmap.FillZero();
  OpenRealSize();
  const QSize screen = big_ima_->screen()->geometry().size();
  const QSize expected = window.boundedTo(screen);
  QCOMPARE(big_ima_->frameGeometry().size(), expected);
  QCOMPARE(big_ima_->Picture()->size(), picture);
  const bool scrolls = picture.width() > expected.width();
  QCOMPARE(big_ima_->ScrollArea()->horizontalScrollBar()->maximum() > 0, scrolls);
  big_ima_->close();
}

void BigImaTest::ZoomKeepsThePlaceShown() {
  kivrel::BrowserLogic& b = dialog_->Logic();
  b.ImaBitmap.Reset(2000, 1600, 8);  // larger than any test screen
  b.ImaBitmap.FillZero();
  OpenRealSize();
  QScrollBar* h = big_ima_->ScrollArea()->horizontalScrollBar();
  QScrollBar* v = big_ima_->ScrollArea()->verticalScrollBar();
  QVERIFY(h->maximum() > 100 && v->maximum() > 30);
  h->setValue(100);
  v->setValue(30);
  QTest::keyClick(big_ima_.get(), '+');
  QCOMPARE(h->value(), 200);
  QCOMPARE(v->value(), 60);
  QTest::keyClick(big_ima_.get(), '-');
  QTest::keyClick(big_ima_.get(), '-');
  QCOMPARE(h->value(), 50);
  big_ima_->close();
}

// Large zooms paint only the exposed samples, small ones a stretched copy: both must show sample
// (x, y) over the block of screen pixels it covers.
void BigImaTest::ZoomedPictureShowsEachSampleAsABlock() {
  kivrel::BrowserLogic& b = dialog_->Logic();
  b.ImaBitmap.Reset(400, 300, 8);
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 400; ++x)
      b.ImaBitmap.Row(y)[x] = static_cast<uint8_t>((x * 7 + y * 13) % 256);
  }
  b.ImaBitmap.palette.assign(256, kivrel::Rgb{});
  for (int i = 0; i < 256; ++i)
    b.ImaBitmap.palette[static_cast<std::size_t>(i)] = {static_cast<uint8_t>(i), 0, 255};
  OpenRealSize();
  for (int zoom : {1, 2, 4, 8}) {
    kivrel::ui::PictureView* view = big_ima_->Picture();
    QCOMPARE(view->size(), QSize(400 * zoom, 300 * zoom));
    // A patch away from the origin, as a scrolled window would expose it.
    const QRect patch(157 * zoom - 3, 111 * zoom - 5, 4 * zoom + 7, 3 * zoom + 9);
    const QImage shown = view->grab(patch).toImage();
    for (int dy = 0; dy < patch.height(); ++dy) {
      for (int dx = 0; dx < patch.width(); ++dx) {
        const int x = (patch.left() + dx) / zoom;
        const int y = (patch.top() + dy) / zoom;
        QCOMPARE(qRed(shown.pixel(dx, dy)), (x * 7 + y * 13) % 256);
      }
    }
    QTest::keyClick(big_ima_.get(), '+');
  }
  big_ima_->close();
}

QObject* NewBigImaTest() {
  return new BigImaTest;
}

#include "big_ima_test.moc"
