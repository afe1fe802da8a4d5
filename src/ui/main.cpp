// kivrel: the image browser as a desktop program. Creates the start window, the browser dialog
// and the real-size window, in this order, and runs until the dialog closes.
//
// Options (besides Qt's own): --open FILE chooses FILE in the dialog once it is up;
// --screenshot OUT.png then saves a picture of the dialog and quits, leaving the remembered
// folder alone.
#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QTimer>
#include <exception>
#include <memory>

#include "browser/dialog/app_dir.h"
#include "skylib/skylib.h"
#include "ui/browser_dialog.h"
#include "ui/real_size_window.h"
#include "ui/start_window.h"

namespace {

int Fail(const QString& text) {
  QMessageBox::critical(nullptr, QStringLiteral("Kivrel"), text);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
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
    // Time for the folder tree to read its folders before the picture is taken.
    QTimer::singleShot(1500, dialog.get(), [&] {
      if (!dialog->grab().save(screenshot)) status = 1;
      app.quit();
    });
  }
  const int result = app.exec();
  return status != 0 ? status : result;
}
