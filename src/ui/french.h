// The program speaks French, Qt's own texts included: the buttons of the standard message
// boxes ("Oui", "Annuler"), the file dialog ("Nom de fichier", "Enregistrer"). Qt's French
// translations come with the system (Debian: qt6-translations-l10n).
#pragma once

class QCoreApplication;

namespace kivrel::ui {

// Installs Qt's French translations (qtbase_fr.qm, from Qt's translations folder) into `app`.
// False when they cannot be found: Qt's texts then stay in English; nothing else changes.
bool InstallQtFrench(QCoreApplication& app);

}  // namespace kivrel::ui
