// The preview driven through the dialog's widgets: rubber-band zoom and "Zoom prec.", the
// threshold edits and bars (with the delayed redraw), the flips, the header view on a right
// click, and "Sauvegarde BMP".
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cmath>

#include "ui/browser_dialog.h"
#include "ui/real_size_window.h"
#include "ui/widgets.h"
#include "ui_test_support.h"

using kivrel::test::ChooseAndWait;
using kivrel::test::ClickRow;
using kivrel::test::Control;
using kivrel::test::MakeDialog;
using kivrel::test::SamePixels;
using kivrel::test::SendMouse;

namespace {

// The status line's "<name>  <w>x<h>" part.
QString ShownSize(const kivrel::ui::BrowserDialog& dialog) {
  const QString line = dialog.findChild<QLabel*>("Label2")->text();
  return line.section("  ", 1, 1);
}

int RoundHalfEven(double v) {
  return static_cast<int>(std::nearbyint(v));  // the default rounding mode: ties to even
}

}  // namespace

class DialogDisplayTest : public QObject {
  Q_OBJECT

 private slots:
  void DragThenClickZoomsAndZoomPrecReturns();
  void ReversedDragZoomsTheSameRectangle();
  void ClickOutsideTheBandZoomsNothing();
  void EnterInAThresholdEditRedraws();
  void TypingAloneDoesNotRedraw();
  void MovingABarRedrawsOnceAfterItRests();
  void EachBarMoveRestartsTheWait();
  void MirrorButtonsFlipThePreview();
  void FilterChoiceAndThresholdAreReadOnApply();
  void RightClickOnFitsOpensHeaderViewAndImageStays();
  void RightClickOnOtherFileOpensNothing();
  void SaveBmpAsksBeforeReplacing();
};

void DialogDisplayTest::DragThenClickZoomsAndZoomPrecReturns() {
  auto dialog = MakeDialog();
  QVERIFY(ChooseAndWait(dialog.get(), "m51_tan16.fits"));
  kivrel::ui::PictureView* preview = dialog->Preview();
  QCOMPARE(ShownSize(*dialog), QString("240x180"));

  SendMouse(preview, QEvent::MouseButtonPress, {10, 20}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(preview, QEvent::MouseMove, {60, 50}, Qt::NoButton, Qt::LeftButton);
  SendMouse(preview, QEvent::MouseMove, {110, 80}, Qt::NoButton, Qt::LeftButton);
  SendMouse(preview, QEvent::MouseButtonRelease, {110, 80}, Qt::LeftButton, Qt::NoButton);
  QCOMPARE(preview->RubberBand(), std::optional<QRect>(QRect(QPoint(10, 20), QPoint(110, 80))));
  // The readout follows the pointer.
  QVERIFY(Control<QLabel>(dialog.get(), "Label1")->text().startsWith("X:"));

  SendMouse(preview, QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton);
  QVERIFY(!preview->RubberBand().has_value());
  // Preview 320 x 240 over 240 x 180 samples: 0.75 sample per pixel both ways.
  const int x1 = RoundHalfEven(10 * 0.75), x2 = RoundHalfEven(110 * 0.75);
  const int y1 = RoundHalfEven(20 * 0.75), y2 = RoundHalfEven(80 * 0.75);
  QCOMPARE(ShownSize(*dialog), QString("%1x%2").arg(x2 - x1).arg(y2 - y1));
  QCOMPARE(preview->Image().size(), QSize(x2 - x1, y2 - y1));
  QCOMPARE(preview->width(), RoundHalfEven(240.0 * (x2 - x1) / (y2 - y1)));

  QTest::mouseClick(Control<QPushButton>(dialog.get(), "SpeedButton5"), Qt::LeftButton);
  QCOMPARE(ShownSize(*dialog), QString("240x180"));
  QCOMPARE(preview->size(), QSize(320, 240));
}

// Dragged from bottom right to top left, the band zooms the same rectangle as the drag above.
void DialogDisplayTest::ReversedDragZoomsTheSameRectangle() {
  auto dialog = MakeDialog();
  QVERIFY(ChooseAndWait(dialog.get(), "m51_tan16.fits"));
  kivrel::ui::PictureView* preview = dialog->Preview();
  SendMouse(preview, QEvent::MouseButtonPress, {110, 80}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(preview, QEvent::MouseMove, {60, 50}, Qt::NoButton, Qt::LeftButton);
  SendMouse(preview, QEvent::MouseMove, {10, 20}, Qt::NoButton, Qt::LeftButton);
  SendMouse(preview, QEvent::MouseButtonRelease, {10, 20}, Qt::LeftButton, Qt::NoButton);
  QVERIFY(preview->RubberBand().has_value());
  SendMouse(preview, QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton);
  const int x1 = RoundHalfEven(10 * 0.75), x2 = RoundHalfEven(110 * 0.75);
  const int y1 = RoundHalfEven(20 * 0.75), y2 = RoundHalfEven(80 * 0.75);
  QCOMPARE(ShownSize(*dialog), QString("%1x%2").arg(x2 - x1).arg(y2 - y1));
  QCOMPARE(dialog->Controller().view.zoom.ZoomX1, x1);
  QCOMPARE(dialog->Controller().view.zoom.ZoomY1, y1);
}

void DialogDisplayTest::ClickOutsideTheBandZoomsNothing() {
  auto dialog = MakeDialog();
  QVERIFY(ChooseAndWait(dialog.get(), "m51_tan16.fits"));
  kivrel::ui::PictureView* preview = dialog->Preview();
  SendMouse(preview, QEvent::MouseButtonPress, {10, 20}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(preview, QEvent::MouseMove, {110, 80}, Qt::NoButton, Qt::LeftButton);
  SendMouse(preview, QEvent::MouseButtonPress, {200, 200}, Qt::LeftButton, Qt::LeftButton);
  QVERIFY(!preview->RubberBand().has_value());
  QCOMPARE(ShownSize(*dialog), QString("240x180"));
}

void DialogDisplayTest::EnterInAThresholdEditRedraws() {
  auto dialog = MakeDialog();
  QVERIFY(ChooseAndWait(dialog.get(), "m51_tan16.fits"));
  const QImage before = dialog->Preview()->Image();
  auto* edit1 = Control<QLineEdit>(dialog.get(), "Edit1");
  const double old_min = edit1->text().toDouble();
  const double new_min = old_min + 0.3 * (dialog->Controller().view.DisplayMax - old_min);
  edit1->selectAll();
  QTest::keyClicks(edit1, QString::number(new_min, 'f', 1));
  QTest::keyClick(edit1, Qt::Key_Return);

  const QImage after = dialog->Preview()->Image();
  QVERIFY(!SamePixels(before, after));
  QCOMPARE(dialog->Controller().view.DisplayMin, QString::number(new_min, 'f', 1).toDouble());
  // With the ramp tables a higher minimum can only darken, up to one level where the scale's
  // rounding meets the top of the range; and most lit pixels do darken.
  int floor = 255;  // the index of level 0 (the transfer table may not map it to 0)
  for (int y = 0; y < before.height(); ++y) {
    for (int x = 0; x < before.width(); ++x)
      floor = std::min(floor, before.pixelIndex(x, y));
  }
  int lit = 0;
  int darker = 0;
  for (int y = 0; y < after.height(); ++y) {
    for (int x = 0; x < after.width(); ++x) {
      const int was = before.pixelIndex(x, y);
      const int is = after.pixelIndex(x, y);
      QVERIFY2(is <= was + 1,
               qPrintable(QString("%1,%2: %3 -> %4").arg(x).arg(y).arg(was).arg(is)));
      lit += was > floor ? 1 : 0;
      darker += is < was ? 1 : 0;
    }
  }
  QVERIFY2(darker > lit / 2, qPrintable(QString("%1 of %2").arg(darker).arg(lit)));
  QVERIFY(dialog->isVisible());  // Enter pressed no button of the dialog
}

void DialogDisplayTest::TypingAloneDoesNotRedraw() {
  auto dialog = MakeDialog();
  QVERIFY(ChooseAndWait(dialog.get(), "m51_tan16.fits"));
  const qint64 key = dialog->Preview()->Image().cacheKey();
  auto* edit2 = Control<QLineEdit>(dialog.get(), "Edit2");
  edit2->selectAll();
  QTest::keyClicks(edit2, "12x");
  QCOMPARE(dialog->Controller().thresholds.max_edit.text, std::string("12x"));
  QCOMPARE(dialog->Preview()->Image().cacheKey(), key);
  QCOMPARE(edit2->text(), QString("12x"));  // what is typed is never overwritten

  // Enter on a text that is no number: the message, and the dialog carries on.
  kivrel::test::ModalWatcher watcher({kivrel::test::PressMessageBoxButton("OK")});
  QTest::keyClick(edit2, Qt::Key_Enter);
  QTRY_VERIFY(watcher.AllHandled());
  QCOMPARE(watcher.Texts(), QStringList{"'12x' is not a valid floating point value"});
  QVERIFY(QApplication::overrideCursor() == nullptr);
  QVERIFY(dialog->Controller().load.ImageLoaded);
}

// The redraw waits for the bar to rest: a tenth of a second after its last move, once.
void DialogDisplayTest::MovingABarRedrawsOnceAfterItRests() {
  auto dialog = MakeDialog();
  QVERIFY(ChooseAndWait(dialog.get(), "m51_tan16.fits"));
  auto* bar = Control<QScrollBar>(dialog.get(), "ScrollBar1");
  auto* edit1 = Control<QLineEdit>(dialog.get(), "Edit1");
  const QImage before = dialog->Preview()->Image();
  const QString edit_before = edit1->text();

  QElapsedTimer clock;
  clock.start();
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  QVERIFY(edit1->text() != edit_before);  // the edit follows the bar at once
  QCOMPARE(dialog->Preview()->Image().cacheKey(), before.cacheKey());
  QVERIFY(dialog->RedrawTimer()->isActive());
  QCOMPARE(dialog->RedrawTimer()->interval(), dialog->Controller().thresholds.redraw_timer.interval_ms);

  QTRY_VERIFY_WITH_TIMEOUT(dialog->Preview()->Image().cacheKey() != before.cacheKey(), 3000);
  QVERIFY2(clock.elapsed() >= dialog->RedrawTimer()->interval() - 5,
           qPrintable(QString::number(clock.elapsed())));
  QVERIFY(!SamePixels(before, dialog->Preview()->Image()));
  QVERIFY(!dialog->RedrawTimer()->isActive());
  const qint64 redrawn = dialog->Preview()->Image().cacheKey();
  QTest::qWait(3 * dialog->RedrawTimer()->interval());
  QCOMPARE(dialog->Preview()->Image().cacheKey(), redrawn);  // once
}

// Each move starts the wait again: a drag redraws once, at its end.
void DialogDisplayTest::EachBarMoveRestartsTheWait() {
  auto dialog = MakeDialog();
  QVERIFY(ChooseAndWait(dialog.get(), "m51_tan16.fits"));
  auto* bar = Control<QScrollBar>(dialog.get(), "ScrollBar2");
  QTimer* timer = dialog->RedrawTimer();
  const qint64 before = dialog->Preview()->Image().cacheKey();
  bar->triggerAction(QAbstractSlider::SliderPageStepSub);
  QTest::qWait(timer->interval() / 2);
  const int left_after_first = timer->remainingTime();
  if (left_after_first <= 0) QSKIP("this machine is too slow to see the wait restart");
  bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  QVERIFY2(timer->remainingTime() > left_after_first,
           qPrintable(QString("%1 then %2").arg(left_after_first).arg(timer->remainingTime())));
  QCOMPARE(dialog->Preview()->Image().cacheKey(), before);
  QTRY_VERIFY_WITH_TIMEOUT(dialog->Preview()->Image().cacheKey() != before, 3000);
}

void DialogDisplayTest::MirrorButtonsFlipThePreview() {
  auto dialog = MakeDialog();
  QVERIFY(ChooseAndWait(dialog.get(), "galactic64.fits"));
  auto* mirror = Control<QToolButton>(dialog.get(), "SpeedButton3");
  const bool was_down = mirror->isChecked();
  const QImage before = dialog->Preview()->Image();
  QTest::mouseClick(mirror, Qt::LeftButton);
  QCOMPARE(mirror->isChecked(), !was_down);
  const QImage after = dialog->Preview()->Image();
  QCOMPARE(after.size(), before.size());
  for (int y = 0; y < before.height(); ++y) {
    for (int x = 0; x < before.width(); ++x)
      QCOMPARE(after.pixelIndex(x, y), before.pixelIndex(before.width() - 1 - x, y));
  }
  QTest::mouseClick(mirror, Qt::LeftButton);
  QCOMPARE(mirror->isChecked(), was_down);
  QVERIFY(SamePixels(dialog->Preview()->Image(), before));
}

void DialogDisplayTest::FilterChoiceAndThresholdAreReadOnApply() {
  auto dialog = MakeDialog();
  QVERIFY(ChooseAndWait(dialog.get(), "m51_tan16.fits"));
  const QImage original = dialog->Preview()->Image();
  auto* filters = Control<QComboBox>(dialog.get(), "ComboBox3");
  auto* threshold = Control<QLineEdit>(dialog.get(), "Edit5");
  QCOMPARE(filters->currentText(), QString("None"));
  QCOMPARE(threshold->text(), QString("9E99"));

  // Choosing a filter and typing a threshold change nothing until "apply".
  const int smooth = filters->findText("LowPass 2");
  QVERIFY(smooth > 0);
  filters->setCurrentIndex(smooth);
  emit filters->activated(smooth);
  threshold->selectAll();
  QTest::keyClicks(threshold, "1E99");
  QCOMPARE(dialog->Controller().filters.filter_list.index, smooth);
  QCOMPARE(dialog->Controller().filters.threshold_edit.text, std::string("1E99"));
  QCOMPARE(dialog->Preview()->Image().cacheKey(), original.cacheKey());

  QTest::mouseClick(Control<QToolButton>(dialog.get(), "SpeedButton7"), Qt::LeftButton);
  QVERIFY(!SamePixels(dialog->Preview()->Image(), original));  // stars spread out
  QTest::mouseClick(Control<QToolButton>(dialog.get(), "SpeedButton8"), Qt::LeftButton);
  QVERIFY(SamePixels(dialog->Preview()->Image(), original));
  QVERIFY(QApplication::overrideCursor() == nullptr);

  // The colour mode is read at the next raster load only.
  auto* colour_mode = dialog->findChild<kivrel::ui::RadioGroup*>("RadioGroup1");
  const qint64 key = dialog->Preview()->Image().cacheKey();
  QTest::mouseClick(colour_mode->Button(0), Qt::LeftButton);
  QCOMPARE(dialog->Controller().colours.colour_mode.index, 0);
  QCOMPARE(dialog->Preview()->Image().cacheKey(), key);
}

void DialogDisplayTest::RightClickOnFitsOpensHeaderViewAndImageStays() {
  auto dialog = MakeDialog();
  kivrel::ui::RealSizeWindow real_size;
  dialog->SetRealSizeWindow(&real_size);
  QVERIFY(ChooseAndWait(dialog.get(), "m51_tan16.fits"));
  // Zoomed in and with typed thresholds, to see that none of it moves.
  kivrel::ui::PictureView* preview = dialog->Preview();
  SendMouse(preview, QEvent::MouseButtonPress, {10, 20}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(preview, QEvent::MouseMove, {200, 150}, Qt::NoButton, Qt::LeftButton);
  SendMouse(preview, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton);
  const QImage before = preview->Image();
  const QString status = Control<QLabel>(dialog.get(), "Label2")->text();
  const QString min_text = Control<QLineEdit>(dialog.get(), "Edit1")->text();
  const int row = dialog->FileList()->currentRow();

  QVERIFY(ClickRow(dialog->FileList(), "galactic64.fits", Qt::RightButton));
  QVERIFY(real_size.isVisible());
  QVERIFY(real_size.HeaderText()->isVisible());
  QVERIFY(real_size.HeaderText()->toPlainText().startsWith("SIMPLE"));
  QCOMPARE(real_size.windowTitle(), kivrel::test::SamplesDir() + "/galactic64.fits");
  QCOMPARE(real_size.size(), QSize(605, 380));
  QTest::keyClick(real_size.HeaderText(), Qt::Key_Escape);
  QVERIFY(!real_size.isVisible());
  QVERIFY(!real_size.HeaderText()->isVisibleTo(&real_size));

  QCOMPARE(dialog->FileList()->currentRow(), row);
  QVERIFY(SamePixels(preview->Image(), before));
  QCOMPARE(Control<QLabel>(dialog.get(), "Label2")->text(), status);
  QCOMPARE(Control<QLineEdit>(dialog.get(), "Edit1")->text(), min_text);
}

void DialogDisplayTest::RightClickOnOtherFileOpensNothing() {
  QTemporaryDir dir;
  QFile other(dir.filePath("notes.jpg"));
  QVERIFY(other.open(QIODevice::WriteOnly));
  other.write("not a picture");
  other.close();
  kivrel::test::WriteFits(dir.filePath("nosimple.fits"), {"BITPIX  =                   16"}, {});
  auto dialog = MakeDialog(dir.path());
  kivrel::ui::RealSizeWindow real_size;
  dialog->SetRealSizeWindow(&real_size);
  auto* label2 = Control<QLabel>(dialog.get(), "Label2");

  QVERIFY(ClickRow(dialog->FileList(), "nosimple.fits", Qt::RightButton));
  QVERIFY(!real_size.isVisible());
  QVERIFY2(label2->text().contains("SIMPLE"), qPrintable(label2->text()));
  QVERIFY(ClickRow(dialog->FileList(), "notes.jpg", Qt::RightButton));
  QVERIFY(!real_size.isVisible());
  QCOMPARE(label2->text(), QString());
  QVERIFY(!dialog->Controller().load.ImageLoaded);  // nothing was loaded either
}

void DialogDisplayTest::SaveBmpAsksBeforeReplacing() {
  QTemporaryDir dir;
  auto dialog = MakeDialog();
  QVERIFY(ChooseAndWait(dialog.get(), "galactic64.fits"));
  const QString target = dir.filePath("preview.bmp");
  QFile keep(target);
  QVERIFY(keep.open(QIODevice::WriteOnly));
  keep.write("keep me");
  keep.close();
  auto* save = Control<QPushButton>(dialog.get(), "BitBtn1");

  {  // "Non": the file stays as it was.
    kivrel::test::ModalWatcher watcher({kivrel::test::SaveAs(dir.filePath("preview")),
                                        kivrel::test::PressMessageBoxButton("Non")});
    QTimer::singleShot(0, save, [save] { save->click(); });
    QTRY_VERIFY(watcher.AllHandled());
    QVERIFY(watcher.Texts().value(0).contains("preview.bmp"));
  }
  QTest::qWait(20);
  QFile check(target);
  QVERIFY(check.open(QIODevice::ReadOnly));
  QCOMPARE(check.readAll(), QByteArray("keep me"));
  check.close();

  {  // "Oui": replaced by the preview as a bitmap.
    kivrel::test::ModalWatcher watcher(
        {kivrel::test::SaveAs(target), kivrel::test::PressMessageBoxButton("Oui")});
    QTimer::singleShot(0, save, [save] { save->click(); });
    QTRY_VERIFY(watcher.AllHandled());
    QTest::qWait(20);
    QVERIFY2(!watcher.SawUnexpected(), qPrintable(watcher.Texts().join(" | ")));
  }
  QTRY_VERIFY(QFile(target).size() > 100);
  QImage written(target);
  QCOMPARE(written.size(), dialog->Preview()->Image().size());
}

QObject* NewDialogDisplayTest() {
  return new DialogDisplayTest;
}

#include "dialog_display_test.moc"
