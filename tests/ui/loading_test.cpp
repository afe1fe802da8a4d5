// Loading off the window's thread: a click returns before the file is read and the picture
// arrives later; a newer click wins over an older load; arrow keys find their file read ahead;
// after a failed load nothing stale remains to show or save; a new load clears the readout.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "ui/background_loader.h"
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

class LoadingTest : public QObject {
  Q_OBJECT

 private slots:
  void ClickReturnsAtOnceAndThePictureArrives();
  void SecondClickDuringALoadShowsTheSecondFile();
  void ArrowKeysFindTheNextFileReadAhead();
  void FailedLoadLeavesNothingToShowOrSave();
  void NewLoadClearsTheReadout();
};

void LoadingTest::ClickReturnsAtOnceAndThePictureArrives() {
  QTemporaryDir dir;
  kivrel::test::WriteRampFits(dir.filePath("large.fits"), 2000, 2000);
  auto dialog = MakeDialog(dir.path());
  const QImage before = dialog->Preview()->Image();
  QSignalSpy finished(dialog.get(), &kivrel::ui::BrowserDialog::LoadFinished);

  QVERIFY(ClickRow(dialog->FileList(), "large.fits", Qt::LeftButton));
  // The click's handler has returned; the read goes on elsewhere.
  QVERIFY(dialog->Loading());
  QVERIFY(QApplication::overrideCursor() != nullptr);
  QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
  QVERIFY(!dialog->Controller().load.ImageLoaded);
  QCOMPARE(dialog->Preview()->Image().cacheKey(), before.cacheKey());

  QVERIFY(finished.wait(20000));
  QVERIFY(!dialog->Loading());
  QVERIFY(QApplication::overrideCursor() == nullptr);
  QVERIFY(dialog->Controller().load.ImageLoaded);
  QCOMPARE(dialog->Controller().image.width, 2000);
  QVERIFY(Control<QLabel>(dialog.get(), "Label2")->text().startsWith("large.fits  2000x2000"));
}

void LoadingTest::SecondClickDuringALoadShowsTheSecondFile() {
  QTemporaryDir dir;
  kivrel::test::WriteRampFits(dir.filePath("a_large.fits"), 2000, 2000);
  QVERIFY(QFile::copy(kivrel::test::SamplesDir() + "/galactic64.fits", dir.filePath("b.fits")));
  auto dialog = MakeDialog(dir.path());
  QSignalSpy finished(dialog.get(), &kivrel::ui::BrowserDialog::LoadFinished);
  QSignalSpy dropped(&dialog->Loader(), &kivrel::ui::BackgroundLoader::Dropped);

  QVERIFY(ClickRow(dialog->FileList(), "a_large.fits", Qt::LeftButton));
  QVERIFY(ClickRow(dialog->FileList(), "b.fits", Qt::LeftButton));
  QVERIFY(finished.wait(20000));
  QVERIFY(dialog->Controller().load.file_name.ends_with("/b.fits"));
  // The first read ends too, and its picture is dropped rather than shown.
  QTRY_VERIFY_WITH_TIMEOUT(dropped.count() == 1, 20000);
  QCOMPARE(finished.count(), 1);
  QVERIFY(dialog->Controller().load.file_name.ends_with("/b.fits"));
  QVERIFY(Control<QLabel>(dialog.get(), "Label2")->text().startsWith("b.fits"));
  QVERIFY(QApplication::overrideCursor() == nullptr);
}

void LoadingTest::ArrowKeysFindTheNextFileReadAhead() {
  QTemporaryDir dir;
  for (const char* name : {"a.fits", "b.fits", "c.fits"})
    QVERIFY(QFile::copy(kivrel::test::SamplesDir() + "/m51_tan16.fits", dir.filePath(name)));
  auto dialog = MakeDialog(dir.path());
  kivrel::ui::BackgroundLoader& loader = dialog->Loader();
  QVERIFY(ChooseAndWait(dialog.get(), "a.fits"));
  const QImage first = dialog->Preview()->Image();
  for (const char* next : {"b.fits", "c.fits"}) {
    QTRY_VERIFY(loader.ReadAheadIdle());
    const int hits = loader.ReadAheadHits();
    QTest::keyClick(dialog->FileList(), Qt::Key_Down);
    // Shown before the key's handler returned: no read was waited for.
    QVERIFY(!dialog->Loading());
    QCOMPARE(loader.ReadAheadHits(), hits + 1);
    QVERIFY(dialog->Controller().load.file_name.ends_with(std::string("/") + next));
    QVERIFY(SamePixels(dialog->Preview()->Image(), first));  // the same content, read ahead
  }
  // Back up: the previous file was read ahead too.
  QTRY_VERIFY(loader.ReadAheadIdle());
  const int hits = loader.ReadAheadHits();
  QTest::keyClick(dialog->FileList(), Qt::Key_Up);
  QCOMPARE(loader.ReadAheadHits(), hits + 1);
  QVERIFY(dialog->Controller().load.file_name.ends_with("/b.fits"));
}

// "Taille réelle" and "Sauvegarde BMP" after a failed load: disabled, and even a click that
// reaches them opens nothing and writes nothing.
void LoadingTest::FailedLoadLeavesNothingToShowOrSave() {
  QTemporaryDir dir;
  QVERIFY(QFile::copy(kivrel::test::SamplesDir() + "/galactic64.fits", dir.filePath("a.fits")));
  kivrel::test::WriteFits(dir.filePath("b_bad.fits"), {"SIMPLE  =                    F"}, {});
  auto dialog = MakeDialog(dir.path());
  kivrel::ui::RealSizeWindow real_size;
  dialog->SetRealSizeWindow(&real_size);
  QVERIFY(ChooseAndWait(dialog.get(), "a.fits"));
  QVERIFY(ChooseAndWait(dialog.get(), "b_bad.fits"));
  QVERIFY(Control<QLabel>(dialog.get(), "Label2")->text().startsWith("Format non supporté."));

  kivrel::test::ModalWatcher watcher({});
  for (const char* name : {"SpeedButton1", "BitBtn1"}) {
    auto* button = Control<QPushButton>(dialog.get(), name);
    QVERIFY2(!button->isEnabled(), name);
    button->setEnabled(true);
    button->click();
  }
  QTest::qWait(100);
  QVERIFY(!real_size.isVisible());
  QVERIFY2(!watcher.SawUnexpected(), qPrintable(watcher.Texts().join(" | ")));
  QCOMPARE(QDir(dir.path()).entryList({"*.bmp"}, QDir::Files), QStringList());
}

void LoadingTest::NewLoadClearsTheReadout() {
  auto dialog = MakeDialog();
  QVERIFY(ChooseAndWait(dialog.get(), "m51_tan16.fits"));
  SendMouse(dialog->Preview(), QEvent::MouseMove, {100, 100}, Qt::NoButton, Qt::NoButton);
  auto* readout = Control<QLabel>(dialog.get(), "Label1");
  QVERIFY(readout->text().startsWith("X:"));
  QVERIFY(ChooseAndWait(dialog.get(), "galactic64.fits"));
  QCOMPARE(readout->text().trimmed(), QString());
  SendMouse(dialog->Preview(), QEvent::MouseMove, {10, 10}, Qt::NoButton, Qt::NoButton);
  QVERIFY(readout->text().startsWith("X:"));
}

QObject* NewLoadingTest() {
  return new LoadingTest;
}

#include "loading_test.moc"
