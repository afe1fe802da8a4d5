// The browser dialog without any toolkit: it owns the shown image, how it is shown and the
// state of every control, and handles every event of the dialog. The window calls a handler,
// then mirrors the state into its widgets; the CLI and the tests do the same without widgets.
// control_table.h says which control of the dialog each piece of state and each handler
// belongs to.
//
// A handler may throw RunTimeError, whose message is the text the user sees: the caller shows
// it; the state changed before the throw stays changed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "browser/base/picture.h"
#include "browser/dialog/controls.h"
#include "browser/dialog/texts.h"
#include "browser/display/view.h"
#include "browser/readers/decoder_library.h"
#include "browser/readers/read_result.h"
#include "browser/sky/sky_position.h"
#include "browser/store/image.h"
#include "browser/store/world_keywords.h"

namespace kivrel {

struct ShiftState {
  bool left = false;
  bool right = false;
  bool middle = false;
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
  // Exactly the left button, nothing else held.
  bool OnlyLeft() const { return left && !right && !middle && !shift && !ctrl && !alt; }
};

enum class MouseButton { kLeft, kRight, kMiddle };

struct BrowserOptions {
  std::string app_dir;       // folder holding palettes/
  bool load_decoder = true;  // look for the raster decoder library
  std::string decoder_path;  // explicit library path (else the usual search)
};

// What is loaded, from where, and how the last load ended.
struct LoadStatus {
  std::string file_name;      // full path of the file being loaded or shown
  bool ImageLoaded = false;   // an image (or a picture in its own colours) is shown
  bool BitmapShown = false;   // the picture is shown in its own colours, without a plane
  std::string LoadErrorText;  // why the last load failed, as shown after "Format non supporté."
};

// The controls, grouped by what they serve.
struct ThresholdControls {
  RadioGroupControl level_mode;
  EditControl min_edit;
  EditControl max_edit;
  ScrollBarControl min_bar;
  ScrollBarControl max_bar;
  LabelControl min_label;
  LabelControl max_label;
  TimerControl redraw_timer;  // the redraw that follows bar moves
};

struct ViewControls {
  ImageControl preview;
  ImageControl colour_bar;
  LabelControl bar_low_label;   // "0" at the left end of the colour bar
  LabelControl bar_high_label;  // "255" at its right end
  ButtonControl flip_x;         // toggle: mirror left-right
  ButtonControl flip_y;         // toggle: mirror top-bottom
  ButtonControl orient;         // east left and north up, as the header says
  LabelControl flip_label;
  ButtonControl zoom_whole;     // "Zoom 1:1"
  ButtonControl zoom_previous;  // "Zoom prec."
  ButtonControl real_size;      // "Taille réelle"
};

struct ColourControls {
  RadioGroupControl colour_mode;  // own colours of raster pictures, or a modifiable palette
  ListControl colour_table;
  ListControl transfer_table;
  LabelControl colour_table_label;
  LabelControl transfer_table_label;
};

struct FilterControls {
  ListControl filter_list;
  EditControl threshold_edit;
  ButtonControl apply;
  ButtonControl restore;
  LabelControl filter_label;
  LabelControl threshold_label;
};

struct FileControls {
  EditControl name_edit;  // the file list's name or mask
  EditControl layer_edit;
  UpDownControl layer_updown;
  LabelControl layer_label;
  LabelControl layer_count;  // "/3"
  ButtonControl save;        // "Sauvegarde BMP"
};

struct DialogTexts {
  std::string caption = "Choix d'une image astronomique";
  LabelControl status_line;  // file, size, sample type and sky position; or why a load failed
  LabelControl readout;      // column, row and value under the pointer
  ButtonControl help;
  ButtonControl ok;
  ButtonControl cancel;
};

class BrowserController {
 public:
  // The dialog's creation: texts, decoder library, defaults, table lists, pictures, and the
  // empty display. Throws RunTimeError when a table file cannot be read.
  explicit BrowserController(const BrowserOptions& options);
  BrowserController(const BrowserController&) = delete;
  BrowserController& operator=(const BrowserController&) = delete;

  // ---- State -------------------------------------------------------------------------------
  Image image;
  WorldKeywords wcs;  // of the last FITS header read
  View view;
  LoadStatus load;
  SkyPosition sky;
  Picture preview_picture;        // the rendered zoom window, or a raster picture in its colours
  Picture colour_bar_picture;     // 256 x 1
  uint64_t picture_revision = 0;  // changes whenever either picture does
  TransferTable IttTable{};
  MessageTexts messages;
  std::string app_dir;

  // ---- Controls ----------------------------------------------------------------------------
  ThresholdControls thresholds;
  ViewControls view_controls;
  ColourControls colours;
  FilterControls filters;
  FileControls file;
  DialogTexts texts;

  // Plain messages (table errors) go here; the window shows them in a message box.
  std::function<void(const std::string&)> ShowMessage;

  // ---- Files and loading -------------------------------------------------------------------
  // A file chosen in the file list (a full path): the layer from the layer edit, then the load.
  void ChooseFile(const std::string& full_path);
  // The layer edit's text changed (typed or stepped): reloads the shown file at that layer.
  void ChangeLayer(const std::string& text);
  void LoadImage();
  void EnableImageControls(bool enable);
  void ClearDisplay();
  void ShowUnsupported();
  // A right click on a file: its header's lines when it can be listed (FITS or PIC); else
  // nothing, and the status line takes the reason.
  HeaderListing ListHeader(const std::string& full_path);
  // "Sauvegarde BMP" to `file_name` (empty: the save was cancelled).
  void SaveBitmap(const std::string& file_name);

  // ---- Thresholds and level modes ----------------------------------------------------------
  void SetIntensityRange();
  void ChooseLevelMode(int32_t item);
  // A key typed in either threshold edit: Enter applies both edits.
  void ThresholdEditKeyPress(char key);
  void ApplyTypedThresholds();
  // The user (or the program) moves a bar: clamped to its range; its change handler runs when
  // the position really changes.
  void MoveMinBar(int32_t position);
  void MoveMaxBar(int32_t position);
  void RedrawTimerElapsed();

  // ---- The preview: redraw, flips, zoom, readout -------------------------------------------
  void RefreshDisplay();
  void ToggleFlipX();
  void ToggleFlipY();
  void OrientAsOnSky();
  void PreviewMouseDown(MouseButton button, ShiftState shift, int32_t x, int32_t y);
  void PreviewMouseMove(ShiftState shift, int32_t x, int32_t y);
  void ZoomToWholeImage();
  void RestorePreviousZoom();

  // ---- Colours -----------------------------------------------------------------------------
  void ChooseColourMode(int32_t item);
  // As the user picks an entry of a table list.
  void ChooseColourTable(int32_t index);
  void ChooseTransferTable(int32_t index);

  // ---- Filters -----------------------------------------------------------------------------
  // As the user picks an entry of the filter list (nothing runs until ApplyFilter).
  void ChooseFilter(int32_t index);
  void ApplyFilter();
  void RestoreUnfiltered();

 private:
  void FillTableLists();
  Palette256 LoadLutPalette();
  void LoadIttTable();
  void BuildColourBar();
  void OnColourTableChange();
  void OnTransferTableChange();
  void OnMinBarChange();
  void OnMaxBarChange();
  void PlaceThresholdsOnBars();
  void RenderPreview();
  void WriteFileLine();
  void RunFilter();
  void RestoreAndRedraw();
  void ApplyReadResult(ReadResult&& result);
  void ShowPictureInItsColours(Picture&& picture);
  void SetDefaultTexts();
  void LoadLanguage();
  void LoadDecoderLibrary(const BrowserOptions& options);

  std::unique_ptr<DecoderLibrary> decoder_;
  std::string selected_file_;  // the file list's selected file, a full path
  bool filling_lists_ = false;
  bool scroll_updating_ = false;  // the program moves the bars: their handlers do nothing
};

// The dialog's top-left corner for a placement at (x, y), kept on a screen of the given size.
struct Point {
  int32_t x = 0;
  int32_t y = 0;
};
Point PlaceAt(int32_t x, int32_t y, int32_t dialog_width, int32_t dialog_height,
              int32_t screen_width, int32_t screen_height);

}  // namespace kivrel
