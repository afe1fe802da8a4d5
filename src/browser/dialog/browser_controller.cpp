// The dialog's creation and what belongs to the dialog as a whole.
#include "browser/dialog/browser_controller.h"

#include <cstdlib>
#include <filesystem>

#include "browser/dialog/app_dir.h"
#include "browser/display/filter_table.h"
#include "nviewlib.h"
#include "skylib/skylib.h"

namespace kivrel {
namespace {

// Where the decoder library may be: an explicit path alone, else the system search by plain
// name, then the executable's folder, the library folder of an installed program, and the
// build tree.
std::vector<std::string> DecoderCandidates(const BrowserOptions& options) {
  if (!options.decoder_path.empty()) return {options.decoder_path};
  const char* env = std::getenv("KIVREL_DECODER");
  if (env != nullptr && *env != '\0') return {env};
  std::vector<std::string> paths = {NVIEWLIB_LIBRARY_NAME};
  const std::filesystem::path exe_dir = ExecutableDir();
  if (!exe_dir.empty()) {
    paths.push_back((exe_dir / NVIEWLIB_LIBRARY_NAME).string());
    paths.push_back(
        (exe_dir.parent_path() / KIVREL_INSTALL_LIB_SUBDIR / NVIEWLIB_LIBRARY_NAME).string());
  }
  paths.push_back(std::string(KIVREL_BUILD_LIB_DIR) + "/" + NVIEWLIB_LIBRARY_NAME);
  return paths;
}

}  // namespace

BrowserController::BrowserController(const BrowserOptions& options) {
  // Texts of the dialog as designed.
  colours.colour_table_label.caption = "Coul.";
  colours.transfer_table_label.caption = "Intensité";
  view_controls.bar_low_label.caption = "0";
  view_controls.bar_high_label.caption = "255";
  thresholds.min_label.caption = "Min:";
  thresholds.max_label.caption = "Max:";
  view_controls.flip_label.caption = "Inversion de l'image";
  file.layer_count.caption = "/1";
  file.layer_label.caption = "Couche";
  filters.filter_label.caption = "Filtre";
  filters.threshold_label.caption = "Seuil";
  colours.colour_mode.caption = "Couleur des images";
  colours.colour_mode.items = {"Palette du bitmap", "Palette modifiable"};
  colours.colour_mode.index = 1;
  thresholds.level_mode.caption = "Intensité min/max";
  thresholds.level_mode.items = {"en-tête", "data", "1 sig.", "2 sig.", "70%", "zscale", "99,5 %"};
  thresholds.level_mode.index = 0;
  file.save.caption = "Sauvegarde BMP";
  texts.help.caption = "Aide";
  texts.ok.caption = "OK";
  texts.cancel.caption = "Abandon";
  view_controls.real_size.caption = "Taille réelle";
  view_controls.zoom_whole.caption = "Zoom 1:1";
  view_controls.zoom_previous.caption = "Zoom prec.";
  for (const FilterSpec& f : FilterTable())
    filters.filter_list.items.emplace_back(f.name);
  view_controls.preview.width = 320;
  view_controls.preview.height = 240;
  view_controls.colour_bar.width = 297;
  view_controls.colour_bar.height = 15;

  SetDefaultTexts();
  LoadLanguage();
  LoadDecoderLibrary(options);

  image.LayerCount = 1;
  image.CurrentLayer = 1;
  file.layer_edit.text = "0";
  filters.threshold_edit.text = "9E99";
  app_dir = options.app_dir;
  draw_preview_ = options.draw_preview;
  if (Settings().TraceEnabled) WriteTrace("Create image. dir=" + app_dir);
  sky.FieldWidth = 0;
  sky.ProjCode = '-';
  load.ImageLoaded = false;

  FillTableLists();
  ChooseFilter(0);

  // The preview keeps a height of 240; its width follows the shown window.
  colour_bar_picture.Reset(256, 1, 8);
  LoadIttTable();
  const Palette256 palette = LoadLutPalette();
  preview_picture.palette.assign(palette.begin(), palette.end());
  colour_bar_picture.palette.assign(palette.begin(), palette.end());

  EnableImageControls(false);
  thresholds.level_mode.enabled = true;
  ClearDisplay();
}

void BrowserController::LoadDecoderLibrary(const BrowserOptions& options) {
  if (!options.load_decoder) return;
  if (Settings().TraceEnabled) WriteTrace("Load NViewLib DLL");
  decoder_ = std::make_unique<DecoderLibrary>(DecoderCandidates(options));
  if (!decoder_->loaded()) decoder_.reset();
  if (Settings().TraceEnabled) {
    WriteTrace(decoder_ != nullptr ? "NViewLib DLL found" : "NViewLib DLL not found");
  }
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
