// Placeholders until the language files land.
#include "browser/dialog/browser_logic.h"

namespace kivrel {

void BrowserLogic::SetDefaultTexts() {}
void BrowserLogic::LoadLanguage() {}

}  // namespace kivrel
