// The browser dialog driven through its widgets: loading files from the list (mouse and
// keyboard), the file type masks, layers, errors at the event boundary, language files, and
// the dialog kept on the screen.
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cmath>

#include "browser/base/numbers.h"
#include "skylib/skylib.h"
#include "ui/browser_dialog.h"
#include "ui/widgets.h"
#include "ui_test_support.h"

using kivrel::test::ChooseAndWait;
using kivrel::test::WaitForLoad;
using kivrel::test::Control;
using kivrel::test::MakeDialog;

class DialogLoadTest : public QObject {
  Q_OBJECT

 private slots:
  void ClickOnSampleFillsPreviewAndStatusLine();
  void ArrowKeyLoadsTheNextFile();
  void LevelModeCanBeChosenBeforeTheFirstLoad();
  void FileTypesFilterTheList_data();
  void FileTypesFilterTheList();
  void LayerEditAndUpDownReload();
  void BitmapPaletteModeShowsTheFileColours();
  void CorruptHeaderShowsItsMessageAndDialogStaysUsable();
  void UnreadableFitsShowsItsReasonInTheStatusLine();
  void LanguageFileWithOnlyButtonsGivesQuestionMarks();
  void PlaceAtBottomRightKeepsTheDialogOnScreen();
};

void DialogLoadTest::ClickOnSampleFillsPreviewAndStatusLine() {
  auto dialog = MakeDialog();
  QVERIFY(ChooseAndWait(dialog.get(), "m51_tan16.fits"));

  const kivrel::BrowserController& b = dialog->Controller();
  QVERIFY(b.load.ImageLoaded);
  auto* label2 = Control<QLabel>(dialog.get(), "Label2");
  QVERIFY(label2->text().startsWith("m51_tan16.fits  240x180  16 bits"));
  // The sky text follows the file line for this image with its tangent projection.
  QVERIFY2(label2->text().contains(" T ar:"), qPrintable(label2->text()));
  const QImage shown = dialog->Preview()->Image();
  QCOMPARE(shown.size(), QSize(240, 180));
  // 240 x 180 shown at a height of 240 keeps its 4:3 shape.
  QCOMPARE(dialog->Preview()->size(), QSize(320, 240));
  QSet<int> levels;
  for (int y = 0; y < shown.height(); y += 7) {
    for (int x = 0; x < shown.width(); x += 7)
      levels.insert(shown.pixelIndex(x, y));
  }
  QVERIFY(levels.size() > 10);  // a picture, not a blank
  QCOMPARE(Control<QLineEdit>(dialog.get(), "Edit3")->text(), QString("m51_tan16.fits"));
  for (const char* name : {"Edit1", "Edit2", "ScrollBar1", "ComboBox1", "SpeedButton4"})
    QVERIFY2(Control<QWidget>(dialog.get(), name)->isEnabled(), name);
  QCOMPARE(Control<QLineEdit>(dialog.get(), "Edit1")->text(),
           QString::fromStdString(b.thresholds.min_edit.text));
  auto* bar = dialog->findChild<kivrel::ui::PictureView*>("Image2");
  QCOMPARE(bar->Image().size(), QSize(256, 1));
  QCOMPARE(bar->size(), QSize(297, 15));
}

void DialogLoadTest::ArrowKeyLoadsTheNextFile() {
  auto dialog = MakeDialog();
  auto* list = dialog->FileList();
  QVERIFY(ChooseAndWait(dialog.get(), "galactic64.fits"));
  QVERIFY(dialog->Controller().load.file_name.ends_with("galactic64.fits"));
  const QString next = list->item(list->currentRow() + 1)->text();
  QTest::keyClick(list, Qt::Key_Down);
  QVERIFY(WaitForLoad(dialog.get()));
  QVERIFY(QString::fromStdString(dialog->Controller().load.file_name).endsWith("/" + next));
  QCOMPARE(Control<QLineEdit>(dialog.get(), "Edit3")->text(), next);
}

void DialogLoadTest::LevelModeCanBeChosenBeforeTheFirstLoad() {
  auto dialog = MakeDialog();
  auto* group = dialog->findChild<kivrel::ui::RadioGroup*>("RadioGroup2");
  QVERIFY(group->isEnabled());
  for (const char* name : {"Edit1", "ScrollBar2", "ComboBox2", "SpeedButton3", "Edit4", "UpDown1"})
    QVERIFY2(!Control<QWidget>(dialog.get(), name)->isEnabled(), name);
  QTest::mouseClick(group->Button(1), Qt::LeftButton);  // "data"
  QCOMPARE(dialog->Controller().thresholds.level_mode.index, 1);
  QVERIFY(ChooseAndWait(dialog.get(), "m51_tan16.fits"));
  const kivrel::BrowserController& b = dialog->Controller();
  QCOMPARE(Control<QLineEdit>(dialog.get(), "Edit1")->text(),
           QString::fromStdString(kivrel::FormatFixed(b.image.stats.DataMin, 3)));
  QCOMPARE(Control<QLineEdit>(dialog.get(), "Edit2")->text(),
           QString::fromStdString(kivrel::FormatFixed(b.image.stats.DataMax, 3)));
}

void DialogLoadTest::FileTypesFilterTheList_data() {
  QTest::addColumn<QString>("type");
  QTest::addColumn<QStringList>("listed");
  const QStringList fits = {"cube3.fits", "float_nan.fits", "galactic64.fits", "lightcurve1d.fits",
                            "m51_tan16.fits"};
  const QStringList pic = {"datatype5.pic", "float32.pic", "stars16.pic"};
  QStringList all = fits + pic;
  all.sort(Qt::CaseInsensitive);
  QTest::newRow("All files lists .fits too") << "All files" << all;
  QTest::newRow("FITS,PIC") << "FITS,PIC" << all;
  QTest::newRow("FITS hides PIC") << "FITS" << fits;
  QTest::newRow("PIC") << "PIC" << pic;
  QTest::newRow("JPEG") << "JPEG" << QStringList();
}

void DialogLoadTest::FileTypesFilterTheList() {
  QFETCH(QString, type);
  QFETCH(QStringList, listed);
  auto dialog = MakeDialog();
  auto* types = Control<QComboBox>(dialog.get(), "FilterComboBox1");
  const int index = types->findText(type);
  QVERIFY(index >= 0);
  types->setCurrentIndex(index);
  emit types->activated(index);
  QStringList names = kivrel::test::ListedNames(dialog->FileList());
  names.removeIf([](const QString& n) { return n.endsWith(".py"); });
  QCOMPARE(names, listed);
  QCOMPARE(Control<QLineEdit>(dialog.get(), "Edit3")->text(), types->itemData(index).toString());
}

void DialogLoadTest::LayerEditAndUpDownReload() {
  auto dialog = MakeDialog();
  QVERIFY(ChooseAndWait(dialog.get(), "cube3.fits"));
  auto* edit4 = Control<QLineEdit>(dialog.get(), "Edit4");
  QCOMPARE(Control<QLabel>(dialog.get(), "Label10")->text(), QString("/3"));
  QCOMPARE(edit4->text(), QString("1"));  // "0" read as layer 1
  const QImage layer1 = dialog->Preview()->Image();

  auto* updown = dialog->findChild<kivrel::ui::UpDown*>("UpDown1");
  QTest::mouseClick(updown->UpButton(), Qt::LeftButton);
  QVERIFY(WaitForLoad(dialog.get()));
  QCOMPARE(edit4->text(), QString("2"));
  QCOMPARE(dialog->Controller().image.CurrentLayer, 2);
  QVERIFY(!kivrel::test::SamePixels(dialog->Preview()->Image(), layer1));

  // A layer beyond the cube is held to its last layer, and the edit says so.
  edit4->selectAll();
  QTest::keyClicks(edit4, "7");
  QVERIFY(WaitForLoad(dialog.get()));
  QCOMPARE(dialog->Controller().image.CurrentLayer, 3);
  QCOMPARE(edit4->text(), QString("3"));
  // Typing is held to two characters.
  edit4->selectAll();
  QTest::keyClicks(edit4, "123");
  QVERIFY(edit4->text().size() <= 2);
}

void DialogLoadTest::BitmapPaletteModeShowsTheFileColours() {
  QTemporaryDir dir;
  QImage source(6, 4, QImage::Format_RGB888);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x)
      source.setPixel(x, y, qRgb(40 * x, 60 * y, 200 - 30 * x));
  }
  QVERIFY(source.save(dir.filePath("colours.bmp")));
  auto dialog = MakeDialog(dir.path());
  auto* colour_mode = dialog->findChild<kivrel::ui::RadioGroup*>("RadioGroup1");
  QTest::mouseClick(colour_mode->Button(0), Qt::LeftButton);  // "Palette du bitmap"
  QVERIFY(ChooseAndWait(dialog.get(), "colours.bmp"));

  QVERIFY(dialog->Controller().load.BitmapShown);
  const QImage shown = dialog->Preview()->Image();
  QCOMPARE(shown.size(), source.size());
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x)
      QCOMPARE(shown.pixel(x, y), source.pixel(x, y));
  }
  QVERIFY(Control<QLabel>(dialog.get(), "Label2")->text().startsWith("colours.bmp  6x4"));
  // The controls that lead to the palette redraw are off for such a picture.
  QVERIFY(!Control<QWidget>(dialog.get(), "ComboBox1")->isEnabled());
}

void DialogLoadTest::CorruptHeaderShowsItsMessageAndDialogStaysUsable() {
  QTemporaryDir dir;
  const QString bad = dir.filePath("bad_bzero.fits");
  kivrel::test::WriteRampFits(bad, 8, 8, {"BZERO   =                1.5.3"});
  QFile::copy(kivrel::test::SamplesDir() + "/m51_tan16.fits", dir.filePath("good.fits"));
  auto dialog = MakeDialog(dir.path());

  kivrel::test::ModalWatcher watcher({kivrel::test::PressMessageBoxButton("OK")});
  QVERIFY(ChooseAndWait(dialog.get(), "bad_bzero.fits"));
  QTRY_VERIFY(watcher.AllHandled());
  QCOMPARE(watcher.Texts(), QStringList{"'1.5.3' is not a valid floating point value"});
  QVERIFY(QApplication::overrideCursor() == nullptr);  // the busy cursor is gone
  QVERIFY(!dialog->Controller().load.ImageLoaded);

  QVERIFY(ChooseAndWait(dialog.get(), "good.fits"));
  QVERIFY(dialog->Controller().load.ImageLoaded);
  QVERIFY(Control<QLabel>(dialog.get(), "Label2")->text().startsWith("good.fits  240x180"));
}

void DialogLoadTest::UnreadableFitsShowsItsReasonInTheStatusLine() {
  QTemporaryDir dir;
  kivrel::test::WriteFits(dir.filePath("simple_f.fits"),
                          {"SIMPLE  =                    F", "BITPIX  =                   16",
                           "NAXIS   =                    2", "NAXIS1  =                    4",
                           "NAXIS2  =                    4"},
                          QByteArray(32, '\0'));
  auto dialog = MakeDialog(dir.path());
  kivrel::test::ModalWatcher watcher({[](QWidget* w) {
    w->close();
    return true;
  }});
  QVERIFY(ChooseAndWait(dialog.get(), "simple_f.fits"));
  QCOMPARE(Control<QLabel>(dialog.get(), "Label2")->text(),
           QString("Format non supporté.Mot clé \"SIMPLE = T\" manquant"));
  QTest::qWait(50);
  QVERIFY(!watcher.AllHandled());  // no message box for a reader's failure
}

void DialogLoadTest::LanguageFileWithOnlyButtonsGivesQuestionMarks() {
  QTemporaryDir dir;
  QFile ini(dir.filePath("language1.ini"));
  QVERIFY(ini.open(QIODevice::WriteOnly));
  ini.write("[Buttons_1]\nhelp=Help\nOK = \"Okay\"\ncancel=Cancel\n");
  ini.close();
  kivrel::SkyLibSettings saved = kivrel::Settings();
  kivrel::Settings().LanguageCode = std::string("1");
  kivrel::Settings().BaseDir = dir.path().toStdString();
  auto dialog = MakeDialog();
  kivrel::Settings() = saved;

  QCOMPARE(Control<QPushButton>(dialog.get(), "BitBtn2")->text(), QString("Help"));
  QCOMPARE(Control<QPushButton>(dialog.get(), "BitBtn3")->text(), QString("Okay"));
  QCOMPARE(Control<QPushButton>(dialog.get(), "BitBtn4")->text(), QString("Cancel"));
  QCOMPARE(dialog->windowTitle(), QString("?"));
  for (const char* name : {"BitBtn1", "SpeedButton1", "SpeedButton4", "SpeedButton5"})
    QCOMPARE(Control<QPushButton>(dialog.get(), name)->text(), QString("?"));
  for (const char* name :
       {"Label3", "Label4", "Label7", "Label8", "Label9", "Label11", "Label12", "Label13"})
    QCOMPARE(Control<QLabel>(dialog.get(), name)->text(), QString("?"));
  auto* levels = dialog->findChild<kivrel::ui::RadioGroup*>("RadioGroup2");
  QCOMPARE(levels->title(), QString("?"));
  for (int i = 0; i < 4; ++i)
    QCOMPARE(levels->Button(i)->text(), QString("?"));
  QCOMPARE(levels->Button(4)->text(), QString("70%"));  // no key for the last mode
  QCOMPARE(dialog->Controller().messages.keyword, std::string("?"));
  // Texts without keys stay.
  QCOMPARE(Control<QLabel>(dialog.get(), "Label6")->text(), QString("255"));
}

void DialogLoadTest::PlaceAtBottomRightKeepsTheDialogOnScreen() {
  auto dialog = MakeDialog();
  const QRect screen = dialog->screen()->geometry();
  dialog->PlaceAt(screen.bottomRight());
  QCOMPARE(dialog->frameGeometry().right(), screen.right());
  QCOMPARE(dialog->frameGeometry().bottom(), screen.bottom());
  dialog->PlaceAt(screen.topLeft() + QPoint(10, 20));
  QCOMPARE(dialog->frameGeometry().topLeft(), screen.topLeft() + QPoint(10, 20));
}

QObject* NewDialogLoadTest() {
  return new DialogLoadTest;
}

#include "dialog_load_test.moc"
