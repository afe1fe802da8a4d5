// Placeholders until the convolution filters land.
#include "browser/dialog/browser_logic.h"

namespace kivrel {

void BrowserLogic::ApplyFilter() { RefreshDisplay(); }
void BrowserLogic::SpeedButton7Click() {}
void BrowserLogic::SpeedButton8Click() {}

}  // namespace kivrel
