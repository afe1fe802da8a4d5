// The dialog's creation and the handlers that belong to the dialog as a whole.
#include "browser/dialog/browser_logic.h"

#include <algorithm>

#include "browser/display/filter_table.h"
#include "skylib/skylib.h"

namespace kivrel {

BrowserLogic::BrowserLogic(const BrowserOptions& options) {
  // Texts of the form as designed.
  Label3.Caption = "Coul.";
  Label4.Caption = "Intensité";
  Label5.Caption = "0";
  Label6.Caption = "255";
  Label7.Caption = "Min:";
  Label8.Caption = "Max:";
  Label9.Caption = "Inversion de l'image";
  Label10.Caption = "/1";
  Label11.Caption = "Couche";
  Label12.Caption = "Filtre";
  Label13.Caption = "Seuil";
  RadioGroup1.Caption = "Couleur des images";
  RadioGroup1.Items = {"Palette du bitmap", "Palette modifiable"};
  RadioGroup1.ItemIndex = 1;
  RadioGroup2.Caption = "Intensité min/max";
  RadioGroup2.Items = {"en-tête", "data", "1 sig.", "2 sig.", "70%"};
  RadioGroup2.ItemIndex = 0;
  BitBtn1.Caption = "Sauvegarde BMP";
  BitBtn2.Caption = "Aide";
  BitBtn3.Caption = "OK";
  BitBtn4.Caption = "Abandon";
  SpeedButton1.Caption = "Taille réelle";
  SpeedButton4.Caption = "Zoom 1:1";
  SpeedButton5.Caption = "Zoom prec.";
  for (const FilterSpec& f : FilterTable())
    ComboBox3.Items.emplace_back(f.name);
  Image1.Width = 320;
  Image1.Height = 240;
  Image2.Width = 297;
  Image2.Height = 15;

  SetDefaultTexts();
  LoadLanguage();
  LoadDecoderLibrary(options);

  Store.LayerCount = 1;
  Store.CurrentLayer = 1;
  Edit4.Text = "0";
  Edit5.Text = "9E99";
  AppDir = options.app_dir;
  if (Settings().TraceEnabled) WriteTrace("Create image. dir=" + AppDir);
  Store.FieldWidth = 0;
  Store.ProjCode = '-';
  Store.ImageLoaded = false;

  FillPaletteLists();
  ComboBox3.ItemIndex = 0;
  ComboBox3.Text = ComboBox3.Items[0];

  // The preview keeps a height of 240; its width follows the shown window.
  BarBitmap.Reset(256, 1, 8);
  LoadIttTable();
  const Palette256 palette = LoadLutPalette();
  ImaBitmap.palette.assign(palette.begin(), palette.end());
  BarBitmap.palette.assign(palette.begin(), palette.end());

  EnableImageControls(false);
  RadioGroup2.Enabled = true;
  ClearDisplay();
}

BrowserLogic::~BrowserLogic() {
  UnloadDecoderLibrary();
}

int32_t BrowserLogic::PreviewWidthFor(int32_t w, int32_t h) {
  if (h <= 0) return 0;
  return static_cast<int32_t>(
      RoundHalfEven(static_cast<Extended>(w) / static_cast<Extended>(h) * 240));
}

Point PlaceAt(int32_t x, int32_t y, int32_t dialog_width, int32_t dialog_height,
              int32_t screen_width, int32_t screen_height) {
  Point p{x, y};
  if (screen_width < p.x + dialog_width) p.x = screen_width - dialog_width;
  if (p.x < 0) p.x = 0;
  if (screen_height < p.y + dialog_height) p.y = screen_height - dialog_height;
  if (p.y < 0) p.y = 0;
  return p;
}

}  // namespace kivrel
