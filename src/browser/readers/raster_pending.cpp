// Placeholders until the raster reader and the decoder library land.
#include "browser/dialog/browser_logic.h"

namespace kivrel {

void BrowserLogic::LoadDecoderLibrary(const BrowserOptions&) {}
void BrowserLogic::UnloadDecoderLibrary() {}
void BrowserLogic::BitBtn1Click(const std::string&) {}

}  // namespace kivrel
