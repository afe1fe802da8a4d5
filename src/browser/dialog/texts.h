// The words of the dialog's messages, which a language file may replace, and the wording of a
// reader's failure with them.
#pragma once

#include <string>

#include "browser/readers/read_result.h"

namespace kivrel {

struct MessageTexts {
  std::string keyword = "Mot clé";
  std::string missing = "manquant";
  std::string palette_error = "Erreur de création de la palette";
  std::string too_large = "Image trop grande pour l'aperçu";
  std::string out_of_memory = "Mémoire insuffisante.";
  // Notes of the status line after the image's size.
  std::string shown = "affichés";             // "8000x8000, 4000x4000 affichés"
  std::string truncated = "fichier tronqué";  // the file is shorter than its header says
  std::string no_real_samples = "aucun pixel valide";
};

// A reader's failure as the status line shows it after "Format non supporté.":
// 'Mot clé "NAXIS < 2"', 'Mot clé "SIMPLE = T" manquant', 'Mot clé "BITPIX = 64" ?',
// "Image trop grande pour l'aperçu (30000 x 4473)", "Mémoire insuffisante.", or the detail as
// it is.
std::string FailureText(const ReadFailure& failure, const MessageTexts& texts);

}  // namespace kivrel
