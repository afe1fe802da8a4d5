// Placeholders until the display and palettes land.
#include "browser/base/text.h"
#include "browser/dialog/browser_logic.h"

namespace kivrel {

void BrowserLogic::SetIntensityRange() {}
void BrowserLogic::RefreshDisplay() { WriteFileLine(); }
void BrowserLogic::WriteFileLine() {
  Label2.Caption = ExtractFileName(Store.ImaFileName) + "  " + std::to_string(Store.ZoomWidth) +
                   "x" + std::to_string(Store.ZoomHeight) + "  " +
                   std::to_string(Store.SampleType) + " bits";
}
void BrowserLogic::FillPaletteLists() {}
void BrowserLogic::LoadIttTable() {
  for (int k = 1; k < 256; ++k) IttTable[k] = static_cast<uint8_t>(k);
  IttTable[0] = IttTable[1];
}
Palette256 BrowserLogic::LoadLutPalette() {
  Palette256 p;
  for (int i = 0; i < 256; ++i) p[i] = Rgb{uint8_t(i), uint8_t(i), uint8_t(i)};
  return p;
}
void BrowserLogic::RadioGroup2Click(int32_t) {}
void BrowserLogic::Edit1KeyPress(char) {}
void BrowserLogic::Edit2KeyPress(char) {}
void BrowserLogic::ApplyTypedThresholds() {}
void BrowserLogic::SetScrollBar1Position(int32_t) {}
void BrowserLogic::SetScrollBar2Position(int32_t) {}
void BrowserLogic::ScrollBar1Change() {}
void BrowserLogic::ScrollBar2Change() {}
void BrowserLogic::Timer1Timer() {}
void BrowserLogic::SpeedButton3Click() {}
void BrowserLogic::SpeedButton2Click() {}
void BrowserLogic::SpeedButton6Click() {}
void BrowserLogic::Image1MouseDown(MouseButton, ShiftState, int32_t, int32_t) {}
void BrowserLogic::Image1MouseMove(ShiftState, int32_t, int32_t) {}
void BrowserLogic::SpeedButton4Click() {}
void BrowserLogic::SpeedButton5Click() {}
void BrowserLogic::SelectComboBox1(int32_t) {}
void BrowserLogic::SelectComboBox2(int32_t) {}

}  // namespace kivrel
