// kivrel: the image browser as a desktop program. Creates the start window, the browser dialog
// and the real-size window, in this order, and runs until the dialog closes. Qt's own texts are
// in French; every event goes through the guard (event_guard.h).
//
// Options (besides Qt's own): --open FILE chooses FILE in the dialog once it is up;
// --screenshot OUT.png then saves a picture of the dialog and quits, leaving the remembered
// folder alone.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <exception>
#include <memory>

#include "browser/dialog/app_dir.h"
#include "skylib/skylib.h"
#include "ui/browser_dialog.h"
#include "ui/event_guard.h"
#include "ui/french.h"
#include "ui/real_size_window.h"
#include "ui/start_window.h"

namespace {

int Fail(const QString& text) {
  QMessageBox::critical(nullptr, QStringLiteral("Kivrel"), text);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  kivrel::ui::GuardedApplication app(argc, argv);
  kivrel::ui::InstallQtFrench(app);
  QApplication::setApplicationName(QStringLiteral("Kivrel"));
  QApplication::setOrganizationName(QStringLiteral("Orvanta"));
  QApplication::setApplicationVersion(QStringLiteral(KIVREL_VERSION));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Kivrel: quick-look browser for astronomical images"));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption open_option(QStringLiteral("open"),
                                       QStringLiteral("Choose FILE once the dialog is up."),
                                       QStringLiteral("FILE"));
  const QCommandLineOption shot_option(
      QStringLiteral("screenshot"), QStringLiteral("Save a picture of the dialog to OUT and quit."),
      QStringLiteral("OUT"));
  parser.addOption(open_option);
  parser.addOption(shot_option);
  parser.process(app);
  const QString open_file = parser.value(open_option);
  const QString screenshot = parser.value(shot_option);

  try {
    kivrel::ConfigureFromEnvironment();
  } catch (const std::exception& e) {
    return Fail(QString::fromStdString(e.what()));
  }

  kivrel::ui::HostSettings host_settings;
  host_settings.store_folder = screenshot.isEmpty();
  kivrel::ui::StartWindow host(host_settings);
  std::unique_ptr<kivrel::ui::BrowserDialog> dialog;
  try {
    kivrel::BrowserOptions options;
    options.app_dir = kivrel::ResolveAppDir();
    dialog = std::make_unique<kivrel::ui::BrowserDialog>(options);
  } catch (const std::exception& e) {
    return Fail(QString::fromStdString(e.what()));
  }
  kivrel::ui::RealSizeWindow real_size;
  dialog->SetRealSizeWindow(&real_size);
  host.SetDialog(dialog.get());
  QObject::connect(&host, &kivrel::ui::StartWindow::Finished, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  host.show();

  int status = 0;
  if (!open_file.isEmpty()) {
    QTimer::singleShot(0, dialog.get(), [&] { dialog->OpenFile(open_file); });
  }
  if (!screenshot.isEmpty()) {
    // Time for the folder tree to read its folders (and for the file to load) before the
    // picture is taken.
    auto* shot = new QTimer(dialog.get());
    QElapsedTimer since_start;
    since_start.start();
    QObject::connect(shot, &QTimer::timeout, dialog.get(), [&, shot] {
      if (since_start.elapsed() < 1500 || (dialog->Loading() && since_start.elapsed() < 30000))
        return;
      shot->stop();
      if (!dialog->grab().save(screenshot)) status = 1;
      app.quit();
    });
    shot->start(100);
  }
  int result = 0;
  try {
    result = app.exec();
  } catch (const std::exception& e) {
    // Only what escaped the guard of every event: the program ends, saying why.
    return Fail(QStringLiteral("Erreur inattendue : %1").arg(QString::fromUtf8(e.what())));
  } catch (...) {
    return Fail(QStringLiteral("Erreur inattendue."));
  }
  return status != 0 ? status : result;
}
