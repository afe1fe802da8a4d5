// The event boundary: what each kind of exception shows (a run-time error's own text, memory
// refused, anything else) and that the dialog goes on working; a paint event that throws is
// caught by the application; Qt's standard buttons speak French.
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <stdexcept>

#include "browser/base/large_buffer.h"
#include "skylib/run_time_error.h"
#include "ui/browser_dialog.h"
#include "ui/real_size_window.h"
#include "ui/widgets.h"
#include "ui_test_support.h"

using kivrel::test::ChooseAndWait;
using kivrel::test::Control;
using kivrel::test::MakeDialog;
using kivrel::test::ModalWatcher;
using kivrel::test::PressMessageBoxButton;

namespace {

class FailingPaint : public QWidget {
 protected:
  void paintEvent(QPaintEvent*) override { throw std::runtime_error("pinceau cassé"); }
};

// The dialog still answers: "Zoom 1:1" redraws the whole image.
bool StillWorks(kivrel::ui::BrowserDialog& dialog) {
  QTest::mouseClick(Control<QPushButton>(&dialog, "SpeedButton4"), Qt::LeftButton);
  return dialog.Controller().load.ImageLoaded && QApplication::overrideCursor() == nullptr;
}

}  // namespace

class GuardTest : public QObject {
  Q_OBJECT

 private slots:
  void RunTimeErrorShowsItsOwnText();
  void RefusedMemoryNamesWhatFailed();
  void OtherExceptionNamesWhatFailed();
  void PaintEventThatThrowsIsCaught();
  void StandardButtonsSpeakFrench();
};

void GuardTest::RunTimeErrorShowsItsOwnText() {
  auto dialog = MakeDialog();
  QVERIFY(ChooseAndWait(dialog.get(), "m51_tan16.fits"));
  ModalWatcher watcher({PressMessageBoxButton("OK")});
  dialog->Run([] { throw kivrel::RunTimeError("Cannot open file x.fits"); });
  QVERIFY(watcher.AllHandled());
  QCOMPARE(watcher.Texts(), QStringList{"Cannot open file x.fits"});
  QVERIFY(StillWorks(*dialog));
}

// The copy of the picture that "Taille réelle" makes is refused: a message, no window, and
// the dialog as it was.
void GuardTest::RefusedMemoryNamesWhatFailed() {
  auto dialog = MakeDialog();
  kivrel::ui::RealSizeWindow real_size;
  dialog->SetRealSizeWindow(&real_size);
  QVERIFY(ChooseAndWait(dialog.get(), "m51_tan16.fits"));
  ModalWatcher watcher({PressMessageBoxButton("OK")});
  {
    const kivrel::ScopedAllocationFailure refuse(1);
    QTest::mouseClick(Control<QPushButton>(dialog.get(), "SpeedButton1"), Qt::LeftButton);
    QCOMPARE(refuse.allocations(), 1);
  }
  QVERIFY(watcher.AllHandled());
  const QString text = watcher.Texts().value(0);
  QVERIFY2(text.startsWith("Mémoire insuffisante") && text.contains("Taille réelle"),
           qPrintable(text));
  QVERIFY(!real_size.isVisible());
  QVERIFY(StillWorks(*dialog));
}

void GuardTest::OtherExceptionNamesWhatFailed() {
  auto dialog = MakeDialog();
  QVERIFY(ChooseAndWait(dialog.get(), "m51_tan16.fits"));
  ModalWatcher watcher({PressMessageBoxButton("OK")});
  dialog->Run([] { throw std::logic_error("index 7 hors limites"); }, true,
              QStringLiteral("le choix « Intensité min/max »"));
  QVERIFY(watcher.AllHandled());
  QCOMPARE(watcher.Texts(),
           QStringList{"Erreur inattendue pendant le choix « Intensité min/max » : index 7 hors "
                       "limites"});
  QVERIFY(StillWorks(*dialog));
}

void GuardTest::PaintEventThatThrowsIsCaught() {
  FailingPaint widget;
  widget.setObjectName("Failing");
  widget.resize(50, 50);
  ModalWatcher watcher({PressMessageBoxButton("OK")});
  widget.show();
  widget.repaint();
  QTRY_VERIFY(watcher.AllHandled());
  const QString text = watcher.Texts().value(0);
  QVERIFY2(text.contains("le dessin (Failing)") && text.contains("pinceau cassé"),
           qPrintable(text));
  widget.hide();
}

void GuardTest::StandardButtonsSpeakFrench() {
  QMessageBox box(QMessageBox::Question, "Kivrel", "?",
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  const auto text = [&](QMessageBox::StandardButton b) { return box.button(b)->text().remove('&'); };
  QCOMPARE(text(QMessageBox::Yes), QString("Oui"));
  QCOMPARE(text(QMessageBox::No), QString("Non"));
  QCOMPARE(text(QMessageBox::Cancel), QString("Annuler"));
}

QObject* NewGuardTest() {
  return new GuardTest;
}

#include "guard_test.moc"
