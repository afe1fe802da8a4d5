// The start window: the folder remembered across two runs, the first run on the bundled
// samples, the dialog shown at the mouse and kept on the screen, "Quitter" ending the run, and
// "." as the decimal separator whatever the locale.
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <clocale>

#include "ui/browser_dialog.h"
#include "ui/real_size_window.h"
#include "ui/start_window.h"
#include "ui/widgets.h"
#include "ui_test_support.h"

using kivrel::test::Control;

namespace {

// One run of the program: the three windows in order, the host shown.
struct Run {
  explicit Run(const kivrel::ui::HostSettings& settings) : host(settings) {
    kivrel::BrowserOptions options;
    options.app_dir = kivrel::test::SourceDir().toStdString();
    options.load_decoder = false;
    dialog = std::make_unique<kivrel::ui::BrowserDialog>(options);
    dialog->SetRealSizeWindow(&real_size);
    host.SetDialog(dialog.get());
  }
  kivrel::ui::StartWindow host;
  std::unique_ptr<kivrel::ui::BrowserDialog> dialog;
  kivrel::ui::RealSizeWindow real_size;
};

}  // namespace

class HostTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void FolderIsRememberedAcrossTwoRuns();
  void DisplaySettingsAreRememberedButNotTheFilter();
  void DialogOpensAtTheMouseKeptOnScreen();
  void DecimalPointWhateverTheLocale();

 private:
  QTemporaryDir settings_dir_;
  kivrel::ui::HostSettings settings_;
};

void HostTest::initTestCase() {
  QStandardPaths::setTestModeEnabled(true);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
  settings_.organisation = "Orvanta-test";
  settings_.application = "Kivrel";
}

void HostTest::FolderIsRememberedAcrossTwoRuns() {
  QTemporaryDir chosen;
  kivrel::test::WriteRampFits(chosen.filePath("ramp.fits"), 16, 8);
  QVERIFY(!QSettings(settings_.organisation, settings_.application).contains("Dir"));
  {
    Run first(settings_);
    QVERIFY(first.host.RememberedFolder().isEmpty());
    QSignalSpy finished(&first.host, &kivrel::ui::StartWindow::Finished);
    first.host.show();
    QVERIFY(first.dialog->isVisible());
    QVERIFY(first.dialog->isModal() || first.dialog->windowModality() == Qt::ApplicationModal);
    // The first run opens on the bundled samples.
    QCOMPARE(QDir(first.dialog->TreeSelection()), QDir(kivrel::test::SamplesDir()));
    QVERIFY(first.dialog->FileList()->count() > 0);
    // The host's changes to the dialog.
    QVERIFY(!Control<QPushButton>(first.dialog.get(), "BitBtn2")->isVisible());
    QVERIFY(!Control<QPushButton>(first.dialog.get(), "BitBtn3")->isVisible());
    auto* quit = Control<QPushButton>(first.dialog.get(), "BitBtn4");
    QCOMPARE(quit->text(), QString("Quitter"));

    first.dialog->SetTreeSelection(chosen.path());
    QCOMPARE(kivrel::test::ListedNames(first.dialog->FileList()), QStringList{"ramp.fits"});
    QTest::mouseClick(quit, Qt::LeftButton);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!first.dialog->isVisible());
    QVERIFY(!first.host.isVisible());
  }
  QCOMPARE(QSettings(settings_.organisation, settings_.application).value("Dir").toString(),
           chosen.path());
  {
    Run second(settings_);
    QCOMPARE(second.host.RememberedFolder(), chosen.path());
    second.host.show();
    QCOMPARE(second.dialog->TreeSelection(), chosen.path());
    QCOMPARE(second.dialog->FileList()->Directory(), chosen.path());
    QCOMPARE(kivrel::test::ListedNames(second.dialog->FileList()), QStringList{"ramp.fits"});
    second.host.close();
  }
  QSettings(settings_.organisation, settings_.application).clear();
}

void HostTest::DisplaySettingsAreRememberedButNotTheFilter() {
  std::string lut, itt;
  {
    Run first(settings_);
    first.host.show();
    kivrel::BrowserController& c = first.dialog->Controller();
    QVERIFY(c.colours.colour_table.items.size() > 2 && c.colours.transfer_table.items.size() > 2);
    // As the user would choose them: the last entries of the lists, "zscale", the bitmap's
    // own palette, and a filter.
    auto* levels = first.dialog->findChild<kivrel::ui::RadioGroup*>("RadioGroup2");
    QTest::mouseClick(levels->Button(5), Qt::LeftButton);
    auto* colour_mode = first.dialog->findChild<kivrel::ui::RadioGroup*>("RadioGroup1");
    QTest::mouseClick(colour_mode->Button(0), Qt::LeftButton);
    for (const char* name : {"ComboBox1", "ComboBox2", "ComboBox3"}) {
      auto* list = Control<QComboBox>(first.dialog.get(), name);
      list->setCurrentIndex(list->count() - 1);
      emit list->activated(list->count() - 1);
    }
    lut = c.colours.colour_table.items.back();
    itt = c.colours.transfer_table.items.back();
    QCOMPARE(c.colours.colour_table.index + 1, int(c.colours.colour_table.items.size()));
    QVERIFY(c.filters.filter_list.index > 0);
    first.host.close();
  }
  {
    Run second(settings_);
    second.host.show();
    const kivrel::BrowserController& c = second.dialog->Controller();
    QCOMPARE(c.thresholds.level_mode.index, 5);
    QCOMPARE(c.colours.colour_mode.index, 0);
    QCOMPARE(Control<QComboBox>(second.dialog.get(), "ComboBox1")->currentText().toStdString(), lut);
    QCOMPARE(Control<QComboBox>(second.dialog.get(), "ComboBox2")->currentText().toStdString(), itt);
    QCOMPARE(c.filters.filter_list.index, 0);  // no filter the next day
    second.host.close();
  }
  QSettings(settings_.organisation, settings_.application).clear();
}

void HostTest::DialogOpensAtTheMouseKeptOnScreen() {
  kivrel::ui::HostSettings settings = settings_;
  settings.store_folder = false;
  Run run(settings);
  QScreen* screen = run.dialog->screen();
  const QRect area = screen->geometry();
  QCursor::setPos(screen, area.bottomRight());
  if (QCursor::pos(screen) != area.bottomRight()) QSKIP("this platform cannot move the pointer");
  run.host.show();
  QCOMPARE(run.dialog->frameGeometry().right(), area.right());
  QCOMPARE(run.dialog->frameGeometry().bottom(), area.bottom());
  run.host.close();
  QVERIFY(!QSettings(settings_.organisation, settings_.application).contains("Dir"));
}

void HostTest::DecimalPointWhateverTheLocale() {
  QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
  std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");  // when the machine has it
  kivrel::ui::HostSettings settings = settings_;
  settings.store_folder = false;
  Run run(settings);
  QCOMPARE(QLocale().decimalPoint(), QString("."));
  QCOMPARE(QString(std::localeconv()->decimal_point), QString("."));
  run.host.show();
  run.dialog->OpenFile(kivrel::test::SamplesDir() + "/m51_tan16.fits");
  QVERIFY(kivrel::test::WaitForLoad(run.dialog.get()));
  QVERIFY(Control<QLineEdit>(run.dialog.get(), "Edit1")->text().contains('.'));
  auto* edit1 = Control<QLineEdit>(run.dialog.get(), "Edit1");
  edit1->selectAll();
  QTest::keyClicks(edit1, "1500.5");
  QTest::keyClick(edit1, Qt::Key_Return);
  QCOMPARE(run.dialog->Controller().view.DisplayMin, 1500.5);
  run.host.close();
}

QObject* NewHostTest() {
  return new HostTest;
}

#include "host_test.moc"
