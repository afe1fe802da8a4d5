#include "ui/french.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace kivrel::ui {

bool InstallQtFrench(QCoreApplication& app) {
  // Owned by the application: it must live as long as the texts it translates.
  auto* translator = new QTranslator(&app);
  if (!translator->load(QLocale(QLocale::French, QLocale::France), QStringLiteral("qtbase"),
                        QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  return true;
}

}  // namespace kivrel::ui
