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
};

// A reader's failure as the status line shows it after "Format non supporté.":
// 'Mot clé "NAXIS < 2"', 'Mot clé "SIMPLE = T" manquant', 'Mot clé "BITPIX = 64" ?',
// "Image trop grande pour l'aperçu (30000 x 4473)", "Mémoire insuffisante.", or the detail as
// it is.
std::string FailureText(const ReadFailure& failure, const MessageTexts& texts);

}  // namespace kivrel
