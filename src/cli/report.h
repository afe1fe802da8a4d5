// What kivrel-cli tells a person of the file a dialog has just loaded: the short French summary
// of `info` and `render`, and the row of `survey`.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "browser/dialog/browser_controller.h"
#include "cli/survey_format.h"

namespace kivrel::cli {

// The summary, one "Label   value" line each, labels aligned, numbers with a decimal point
// whatever the locale:
//   Fichier      m51_tan16.fits
//   Format       FITS
//   Taille       240 x 180
//   Type         16 bits (entiers)
//   Couches      1
//   Minimum      813
//   Maximum      27095
//   Moyenne      1177.86
//   Écart type   1417.46
//   Centre       ar 13h29m52.7s  de +47°11'43"  (J2000)
//   Champ        00°06'00"  (projection T)
// An extension adds its name, a cube says which layer is shown, a capped image what part is
// shown, and the status line's notes (a truncated file, no valid pixel) come as "Remarque".
// A failed load gives the file and "Erreur" with the status line's reason; `error` (a run-time
// error's text, when not empty) is added as the last "Erreur" line. `file` names the file when
// no load was started.
std::string SummaryText(const BrowserController& dialog, const std::string& file,
                        std::string_view error);

// The survey row of the loaded file, named `name`, with the values of the header keywords
// `keys` (FITS only). A failed load gives a row with the reason.
SurveyRow SurveyRowOf(const BrowserController& dialog, const std::string& name,
                      const std::vector<std::string>& keys);

// The row of a file that could not be run at all.
SurveyRow FailedRow(const std::string& name, const std::string& reason);

}  // namespace kivrel::cli
