// The dialog's layout with the fonts this machine has (ctest runs it once more with DejaVu
// alone): no caption clipped or overlapping, every item of the radio groups whole, the layer
// count's every digit, and a long status line that keeps its size and sky position.
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <string>
#include <vector>

#include "ui/browser_dialog.h"
#include "ui/ui_fonts.h"
#include "ui/widgets.h"
#include "ui_test_support.h"

using kivrel::test::ChooseAndWait;
using kivrel::test::Control;
using kivrel::test::MakeDialog;

namespace {

// A name long enough that no font shows it whole beside the size and the sky position.
const QString kLongName = "M_101_deep_stack_of_twelve_nights_with_flats_and_darks_12.fits";

// A 101-layer cube on the sky (tangent projection), 4 x 4 samples a layer.
void WriteSkyCube(const QString& path) {
  std::vector<std::string> cards = {
      "SIMPLE  =                    T", "BITPIX  =                   16",
      "NAXIS   =                    3", "NAXIS1  =                    4",
      "NAXIS2  =                    4", "NAXIS3  =                  101",
      "CTYPE1  = 'RA---TAN'",           "CTYPE2  = 'DEC--TAN'",
      "CRVAL1  =             210.8023", "CRVAL2  =              54.3490",
      "CRPIX1  =                  2.5", "CRPIX2  =                  2.5",
      "CDELT1  =             -0.00028", "CDELT2  =              0.00028"};
  QByteArray data(4 * 4 * 101 * 2, '\0');
  for (int i = 0; i < data.size(); i += 2)
    data[i + 1] = static_cast<char>(i % 251);
  kivrel::test::WriteFits(path, cards, data);
}

}  // namespace

class DialogLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void NoCaptionIsClipped();
  void LongStatusLineKeepsSizeAndSkyPosition();
  void FileListShowsLongNamesWhole();
};

void DialogLayoutTest::initTestCase() {
  // A font setting that did not take would let this run pass on the machine's usual fonts.
  const QString expected = qEnvironmentVariable("KIVREL_EXPECT_FONTS");
  if (expected.isEmpty()) return;
  for (const QFont& font :
       {kivrel::ui::DialogFont(), kivrel::ui::BarLabelFont(), kivrel::ui::FixedFont()})
    QVERIFY2(QFontInfo(font).family().startsWith(expected), qPrintable(QFontInfo(font).family()));
  QVERIFY(!QFontDatabase::families().contains("Liberation Sans"));
}

// Every caption fits its control, no control spills over a neighbour or out of its panel.
void DialogLayoutTest::NoCaptionIsClipped() {
  QTemporaryDir dir;
  WriteSkyCube(dir.filePath(kLongName));
  auto dialog = MakeDialog(dir.path());
  QVERIFY(ChooseAndWait(dialog.get(), kLongName));
  QCOMPARE(Control<QLabel>(dialog.get(), "Label10")->text(), QString("/101"));

  QList<QWidget*> captioned;
  for (QLabel* l : dialog->findChildren<QLabel*>()) {
    if (l->objectName().startsWith("Label") && l->objectName() != "Label1" &&
        l->objectName() != "Label2")
      captioned << l;
  }
  for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
    if (!b->text().isEmpty()) captioned << b;
  }
  QVERIFY(captioned.size() >= 27);  // 11 labels, 7 buttons, 9 radio items
  for (QWidget* w : captioned) {
    const auto* button = qobject_cast<QAbstractButton*>(w);
    const auto* label = qobject_cast<QLabel*>(w);
    const QString text = label != nullptr ? label->text() : button->text();
    const QString what = w->objectName() + " '" + text + "'";
    int needed = w->sizeHint().width();
    if (qobject_cast<const QPushButton*>(w) != nullptr) {
      // Push buttons hint at least 80 pixels whatever their text: count text, icon, padding.
      needed = w->fontMetrics().horizontalAdvance(text) + 8 +
               (button->icon().isNull() ? 0 : button->iconSize().width() + 4);
    }
    QVERIFY2(w->width() >= needed - 1, qPrintable(what + QString(" needs %1").arg(needed)));
    QVERIFY2(w->height() >= w->fontMetrics().height(), qPrintable(what + " is cut at the bottom"));
    // Within its parent (a radio button below its group's caption).
    const QRect room = qobject_cast<QRadioButton*>(w) != nullptr
                           ? w->parentWidget()->contentsRect()
                           : w->parentWidget()->rect();
    QVERIFY2(room.contains(w->geometry()), qPrintable(what + " leaves its parent " + QString("%1,%2 %3x%4 in %5x%6").arg(w->x()).arg(w->y()).arg(w->width()).arg(w->height()).arg(room.width()).arg(room.height())));
    for (QWidget* other : w->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (other == w || !other->isVisible()) continue;
      QVERIFY2(!w->geometry().intersects(other->geometry()),
               qPrintable(what + " overlaps " + other->objectName()));
    }
  }
  // The panels within the dialog and their own parents.
  for (QFrame* panel : dialog->findChildren<QFrame*>()) {
    if (!panel->objectName().startsWith("Panel")) continue;
    QVERIFY2(panel->parentWidget()->rect().contains(panel->geometry()),
             qPrintable(panel->objectName()));
  }
  // Lists show their longest entry whole.
  for (QComboBox* list : dialog->findChildren<QComboBox*>()) {
    QVERIFY2(list->width() >= list->sizeHint().width(),
             qPrintable(list->objectName() +
                        QString(" %1 < %2").arg(list->width()).arg(list->sizeHint().width())));
  }
}

// The file name gives way in its middle; the size and the sky position always show. The
// engine's line, whole, is the tooltip.
void DialogLayoutTest::LongStatusLineKeepsSizeAndSkyPosition() {
  QTemporaryDir dir;
  WriteSkyCube(dir.filePath(kLongName));
  auto dialog = MakeDialog(dir.path());
  QVERIFY(ChooseAndWait(dialog.get(), kLongName));
  const QString whole = QString::fromStdString(dialog->Controller().texts.status_line.caption);
  QVERIFY2(whole.startsWith(kLongName + "  4x4  16 bits") && whole.contains(" ar:") &&
               whole.contains(" de:"),
           qPrintable(whole));
  auto* label2 = Control<QLabel>(dialog.get(), "Label2");
  QCOMPARE(label2->toolTip(), whole);
  const QString shown = label2->text();
  QVERIFY2(label2->fontMetrics().horizontalAdvance(shown) <= label2->width(), qPrintable(shown));
  const QString after_name = whole.mid(kLongName.size());
  QVERIFY2(shown.endsWith(after_name), qPrintable(shown));
  const QString name_shown = shown.left(shown.size() - after_name.size());
  QVERIFY2(name_shown.contains(QChar(0x2026)), qPrintable(name_shown));  // "…"
  // Its start and its end stay: "M_101_…_12.fits".
  QVERIFY2(name_shown.startsWith("M_") && name_shown.endsWith(".fits"), qPrintable(name_shown));
}

void DialogLayoutTest::FileListShowsLongNamesWhole() {
  QTemporaryDir dir;
  WriteSkyCube(dir.filePath(kLongName));
  auto dialog = MakeDialog(dir.path());
  const QListWidgetItem* row = dialog->FileList()->item(0);
  QVERIFY(row != nullptr);
  QCOMPARE(row->toolTip(), kLongName);
}

QObject* NewDialogLayoutTest() {
  return new DialogLayoutTest;
}

#include "dialog_layout_test.moc"
