// The real-size window through its widgets: opened by "Taille réelle", sized from the preview
// bitmap, zoomed with + and - or the wheel, reading out the sample under the mouse in its status
// bar, closed with Esc, and back at its own size on the next opening.
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <algorithm>

#include "ui/browser_dialog.h"
#include "ui/real_size_window.h"
#include "ui/widgets.h"
#include "ui_test_support.h"

using kivrel::test::ChooseAndWait;
using kivrel::test::Control;
using kivrel::test::MakeDialog;
using kivrel::test::SendMouse;

class RealSizeWindowTest : public QObject {
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
  void StatusBarReadsTheSampleUnderTheMouse();
  void WheelZoomsByPowersOfTwo();

 private:
  void OpenRealSize();
  std::unique_ptr<kivrel::ui::BrowserDialog> dialog_;
  std::unique_ptr<kivrel::ui::RealSizeWindow> real_size_;
};

void RealSizeWindowTest::init() {
  dialog_ = MakeDialog();
  real_size_ = std::make_unique<kivrel::ui::RealSizeWindow>();
  dialog_->SetRealSizeWindow(real_size_.get());
}

void RealSizeWindowTest::cleanup() {
  real_size_.reset();
  dialog_.reset();
}

void RealSizeWindowTest::OpenRealSize() {
  QTest::mouseClick(Control<QPushButton>(dialog_.get(), "SpeedButton1"), Qt::LeftButton);
}

void RealSizeWindowTest::PlusThreeTimesGivesZoomX8() {
  QVERIFY(ChooseAndWait(dialog_.get(), "m51_tan16.fits"));
  OpenRealSize();
  QVERIFY(real_size_->isVisible());
  const QString status = Control<QLabel>(dialog_.get(), "Label2")->text();
  QCOMPARE(real_size_->windowTitle(), status);
  QCOMPARE(real_size_->Picture()->size(), QSize(240, 180));
  QVERIFY(kivrel::test::SamePixels(real_size_->Picture()->Image(), dialog_->Preview()->Image()));

  const char* const factors[] = {"2", "4", "8"};
  for (const char* factor : factors) {
    QTest::keyClick(real_size_.get(), '+');
    QCOMPARE(real_size_->windowTitle(), status + "  Zoom x" + factor);
  }
  QCOMPARE(real_size_->Picture()->size(), QSize(1920, 1440));
  QTest::keyClick(real_size_.get(), '+');  // no further than 8
  QCOMPARE(real_size_->windowTitle(), status + "  Zoom x8");
  QCOMPARE(real_size_->Picture()->size(), QSize(1920, 1440));

  QTest::keyClick(real_size_.get(), Qt::Key_Escape);
  QVERIFY(!real_size_->isVisible());
  OpenRealSize();  // the next opening starts afresh
  QCOMPARE(real_size_->windowTitle(), status);
  QCOMPARE(real_size_->Picture()->size(), QSize(240, 180));
  real_size_->close();
  QVERIFY(!real_size_->isVisible());
}

void RealSizeWindowTest::MinusThreeTimesGivesAnEighth() {
  QVERIFY(ChooseAndWait(dialog_.get(), "galactic64.fits"));
  OpenRealSize();
  const QString base = real_size_->windowTitle();
  const QSize own = real_size_->Picture()->size();
  QCOMPARE(own, QSize(100, 100));
  for (const char* factor : {"0.5", "0.25", "0.125", "0.125"}) {
    QTest::keyClick(real_size_.get(), '-');
    QCOMPARE(real_size_->windowTitle(), base + "  Zoom x" + factor);
  }
  // 100 -> 50 -> 25 -> 12: each step halves the current size.
  QCOMPARE(real_size_->Picture()->size(), QSize(12, 12));
  QTest::keyClick(real_size_.get(), '+');
  QCOMPARE(real_size_->Picture()->size(), QSize(24, 24));
  QTest::keyClick(real_size_.get(), 'a');  // any other key does nothing
  QCOMPARE(real_size_->windowTitle(), base + "  Zoom x0.25");
  real_size_->close();
}

void RealSizeWindowTest::WindowFitsThePictureAndTheScreen_data() {
  QTest::addColumn<QSize>("picture");
  QTest::addColumn<QSize>("window");  // before the screen's limit
  QTest::newRow("small picture: its size plus the borders") << QSize(100, 50) << QSize(120, 90);
  QTest::newRow("wider and taller than the screen") << QSize(4000, 3000) << QSize(4020, 3040);
}

void RealSizeWindowTest::WindowFitsThePictureAndTheScreen() {
  QFETCH(QSize, picture);
  QFETCH(QSize, window);
  // "Taille réelle" acts while a picture is shown; this one is then replaced.
  QVERIFY(ChooseAndWait(dialog_.get(), "galactic64.fits"));
  // A picture of that size in the preview bitmap, as the engine holds it.
  kivrel::BrowserController& b = dialog_->Controller();
  b.preview_picture.Reset(picture.width(), picture.height(), 8);
  b.preview_picture.FillZero();
  OpenRealSize();
  const QSize screen = real_size_->screen()->geometry().size();
  const QSize expected = window.boundedTo(screen);
  // The status bar's line comes on top of the picture's window, within the screen.
  const int bar = real_size_->StatusBar()->height();
  QVERIFY(bar > 0);
  QCOMPARE(real_size_->frameGeometry().size(),
           QSize(expected.width(), std::min(expected.height() + bar, std::max(expected.height(), screen.height()))));
  QCOMPARE(real_size_->ScrollArea()->height(), real_size_->height() - bar);
  QCOMPARE(real_size_->Picture()->size(), picture);
  const bool scrolls = picture.width() > expected.width();
  QCOMPARE(real_size_->ScrollArea()->horizontalScrollBar()->maximum() > 0, scrolls);
  real_size_->close();
}

void RealSizeWindowTest::ZoomKeepsThePlaceShown() {
  // "Taille réelle" acts while a picture is shown; this one is then replaced.
  QVERIFY(ChooseAndWait(dialog_.get(), "galactic64.fits"));
  kivrel::BrowserController& b = dialog_->Controller();
  b.preview_picture.Reset(2000, 1600, 8);  // larger than any test screen
  b.preview_picture.FillZero();
  OpenRealSize();
  QScrollBar* h = real_size_->ScrollArea()->horizontalScrollBar();
  QScrollBar* v = real_size_->ScrollArea()->verticalScrollBar();
  QVERIFY(h->maximum() > 100 && v->maximum() > 30);
  h->setValue(100);
  v->setValue(30);
  QTest::keyClick(real_size_.get(), '+');
  QCOMPARE(h->value(), 200);
  QCOMPARE(v->value(), 60);
  QTest::keyClick(real_size_.get(), '-');
  QTest::keyClick(real_size_.get(), '-');
  QCOMPARE(h->value(), 50);
  real_size_->close();
}

// Large zooms paint only the exposed samples, small ones a stretched copy: both must show sample
// (x, y) over the block of screen pixels it covers.
void RealSizeWindowTest::ZoomedPictureShowsEachSampleAsABlock() {
  // "Taille réelle" acts while a picture is shown; this one is then replaced.
  QVERIFY(ChooseAndWait(dialog_.get(), "galactic64.fits"));
  kivrel::BrowserController& b = dialog_->Controller();
  b.preview_picture.Reset(400, 300, 8);
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 400; ++x)
      b.preview_picture.Row(y)[x] = static_cast<uint8_t>((x * 7 + y * 13) % 256);
  }
  b.preview_picture.palette.assign(256, kivrel::Rgb{});
  for (int i = 0; i < 256; ++i)
    b.preview_picture.palette[static_cast<std::size_t>(i)] = {static_cast<uint8_t>(i), 0, 255};
  OpenRealSize();
  for (int zoom : {1, 2, 4, 8}) {
    kivrel::ui::PictureView* view = real_size_->Picture();
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
    QTest::keyClick(real_size_.get(), '+');
  }
  real_size_->close();
}

// The status bar shows what the dialog's readout shows for the same image sample: the picture
// pixel under the mouse, at any zoom of the window.
void RealSizeWindowTest::StatusBarReadsTheSampleUnderTheMouse() {
  QVERIFY(ChooseAndWait(dialog_.get(), "m51_tan16.fits"));
  OpenRealSize();
  kivrel::ui::PictureView* picture = real_size_->Picture();
  SendMouse(picture, QEvent::MouseMove, {37, 21}, Qt::NoButton, Qt::NoButton);
  const QString line = real_size_->StatusBar()->text();
  const kivrel::ZoomWindow& z = dialog_->Controller().view.zoom;
  const kivrel::View& view = dialog_->Controller().view;
  const int col = z.ZoomX1 + (view.FlipX ? z.ZoomWidth() - 1 - 37 : 37);
  const int row = z.ZoomY1 + (view.FlipY ? z.ZoomHeight() - 1 - 21 : 21);
  QCOMPARE(line, QString::fromStdString(dialog_->Controller().SampleText(row, col)));
  QVERIFY2(line.contains("ar:") && line.contains("de:"), qPrintable(line));  // a sky image
  QTest::keyClick(real_size_.get(), '+');
  SendMouse(picture, QEvent::MouseMove, {2 * 37 + 1, 2 * 21 + 1}, Qt::NoButton,
            Qt::NoButton);  // the same sample, zoomed
  QCOMPARE(real_size_->StatusBar()->text(), line);
  real_size_->close();
}

// A wheel step away from the user zooms in as + does, one towards the user out as - does;
// fine-grained wheels count whole steps only.
void RealSizeWindowTest::WheelZoomsByPowersOfTwo() {
  QVERIFY(ChooseAndWait(dialog_.get(), "galactic64.fits"));
  OpenRealSize();
  const QString base = real_size_->windowTitle();
  QWidget* viewport = real_size_->ScrollArea()->viewport();
  const auto turn = [&](int delta) {
    const QPointF at(10, 10);
    QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
  };
  turn(QWheelEvent::DefaultDeltasPerStep);
  QCOMPARE(real_size_->windowTitle(), base + "  Zoom x2");
  QCOMPARE(real_size_->Picture()->size(), QSize(200, 200));
  turn(QWheelEvent::DefaultDeltasPerStep / 2);  // half a step: nothing yet
  QCOMPARE(real_size_->windowTitle(), base + "  Zoom x2");
  turn(QWheelEvent::DefaultDeltasPerStep / 2);
  QCOMPARE(real_size_->windowTitle(), base + "  Zoom x4");
  turn(-3 * QWheelEvent::DefaultDeltasPerStep);
  QCOMPARE(real_size_->windowTitle(), base + "  Zoom x0.5");
  QCOMPARE(real_size_->Picture()->size(), QSize(50, 50));
  real_size_->close();
}

QObject* NewRealSizeWindowTest() {
  return new RealSizeWindowTest;
}

#include "real_size_window_test.moc"
