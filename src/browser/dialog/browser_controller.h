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
#include <exception>
#include <functional>
#include <optional>
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
#include "browser/sky/wcs_position.h"
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
  // False: redraws leave the preview picture alone (a run that only wants the statistics, the
  // status line and the sky position of many files).
  bool draw_preview = true;
};

// The reader of a file: which one read it, or which one showed it.
enum class ImageFormat { kNone, kFits, kPic, kRaster };

// What is loaded, from where, and how the last load ended.
struct LoadStatus {
  std::string file_name;      // full path of the file being loaded or shown
  bool ImageLoaded = false;   // an image (or a picture in its own colours) is shown
  bool BitmapShown = false;   // the picture is shown in its own colours, without a plane
  std::string LoadErrorText;  // why the last load failed, as shown after "Format non supporté."
  ImageOrigin origin;         // the extension shown, the image's full size, a short file
  ImageFormat format = ImageFormat::kNone;  // the reader whose image or picture is shown
};

// A load to run: which file, which layer, which colour mode. Planned on the dialog's thread;
// the read itself (ReadForLoad) may run on any thread.
struct LoadJob {
  std::string file_name;
  ReadRequest request;
  bool own_colours = false;  // a raster picture is shown in its own colours
};

// What one reader read for a load.
struct LoadStep {
  ImageFormat reader = ImageFormat::kFits;
  ReadResult read;
  bool own_colours = false;  // raster: the picture is to be shown in its own colours
  Picture picture;
  std::shared_ptr<CelestialWcs> celestial;  // FITS: the image's world coordinates
};

// What reading a file gave: each reader's result in order, or what ended the read.
struct LoadOutcome {
  std::string file_name;
  int32_t layer = 1;  // the layer asked for
  std::vector<LoadStep> steps;
  std::exception_ptr error;  // thrown by a reader; the readers after it did not run
};

// Whether a load would give `path` to a reader: a FITS, PIC or raster name, or a file of any
// other name that starts as a FITS file does.
bool IsImageFile(const std::string& path);

// Reads the file of `job` with the readers its name (or its first bytes) calls for. Touches no
// dialog state, so it may run off the dialog's thread; never throws (what a reader throws is
// kept in the outcome).
LoadOutcome ReadForLoad(LoadJob job, const DecoderLibrary* decoder);

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

  // The same loads in two halves, for a window that reads off its own thread: a job planned
  // now (PlanChoice, PlanLayerChange, which writes the edit's text and gives a job only while
  // an image is shown), read by ReadForLoad anywhere, then shown by FinishLoad exactly as the
  // handlers above show it. Throws as they do.
  LoadJob PlanChoice(const std::string& full_path) const;
  std::optional<LoadJob> PlanLayerChange(const std::string& text);
  void FinishLoad(LoadOutcome&& outcome);
  const DecoderLibrary* Decoder() const { return decoder_.get(); }

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
  // The readout of the sample at plane (row, col): column, row and physical value, and for an
  // image with sky coordinates the sample's J2000 position. Empty outside the plane.
  std::string SampleText(int32_t row, int32_t col) const;

  // The whole shown image fitted to size x size (FitSize) with every setting of the preview:
  // thresholds, transfer table, colour table and flips; a picture shown in its own colours is
  // fitted in them. A 1 x 1 black picture when nothing is shown.
  Picture FittedPicture(int32_t size) const;

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
  LoadJob PlanLoad(const std::string& full_path, int32_t layer) const;
  std::shared_ptr<LargeBuffer> TakePlaneMemory();
  bool ApplyLoadStep(LoadStep& step);
  void ShowLoadedImage();
  void ShowOutOfMemory();
  void EnableShowButtons();
  void ApplyReadResult(ReadResult&& result);
  void LocateOnSky();
  std::string SizeText() const;
  void ShowPictureInItsColours(Picture&& picture);
  void SetDefaultTexts();
  void LoadLanguage();
  void LoadDecoderLibrary(const BrowserOptions& options);

  std::unique_ptr<DecoderLibrary> decoder_;
  bool draw_preview_ = true;
  std::shared_ptr<CelestialWcs> celestial_;  // the shown FITS image's world coordinates
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
