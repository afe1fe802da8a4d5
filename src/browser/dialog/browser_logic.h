// The browser dialog's logic, without any toolkit: it owns the image store, the display state
// and the state of every control, and implements every event handler. The window calls a
// handler, then mirrors the state into its widgets; the CLI and the tests do the same without
// widgets. A handler may throw RunTimeError: the caller shows its text; the state changed
// before the throw stays changed.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "browser/dialog/controls.h"
#include "browser/display/picture.h"
#include "browser/store/image_store.h"

namespace kivrel {

struct ShiftState {
  bool Left = false;
  bool Right = false;
  bool Middle = false;
  bool Shift = false;
  bool Ctrl = false;
  bool Alt = false;
  // Exactly the left button, nothing else held.
  bool OnlyLeft() const { return Left && !Right && !Middle && !Shift && !Ctrl && !Alt; }
};

enum class MouseButton { Left, Right, Middle };

struct BrowserOptions {
  std::string app_dir;       // folder holding palettes/
  bool load_decoder = true;  // look for the raster decoder library
  std::string decoder_path;  // explicit library path (else the usual search)
};

class BrowserLogic {
 public:
  // The dialog's creation: texts, decoder library, defaults, palette lists, bitmaps, and the
  // empty display.
  explicit BrowserLogic(const BrowserOptions& options);
  ~BrowserLogic();
  BrowserLogic(const BrowserLogic&) = delete;
  BrowserLogic& operator=(const BrowserLogic&) = delete;

  // ---- Image store and display state -------------------------------------------------------
  ImageStore Store;
  std::string AppDir;

  double DisplayMin = 0;
  double DisplayMax = 0;
  double ScrollRange = 0;
  double ScrollStep = 0;
  bool ScrollUpdating = false;

  int32_t DragX1 = 0;
  int32_t DragY1 = 0;
  int32_t DragX2 = 0;
  int32_t DragY2 = 0;
  bool Dragging = false;

  std::array<uint8_t, 256> IttTable{};
  Picture ImaBitmap;
  Picture BarBitmap;
  bool FillingLists = false;

  // Raster decoder library (loaded when the dialog is created).
  void* NViewLibHandle = nullptr;
  void* NViewLibLoadProc = nullptr;
  bool NViewLibFound = false;

  // ---- Controls ----------------------------------------------------------------------------
  std::string Caption = "Choix d'une image astronomique";
  LabelControl Label1, Label2, Label10;
  LabelControl Label3, Label4, Label5, Label6, Label7, Label8, Label9, Label11, Label12, Label13;
  EditControl Edit1, Edit2, Edit3, Edit4, Edit5;
  ScrollBarControl ScrollBar1, ScrollBar2;
  RadioGroupControl RadioGroup1, RadioGroup2;
  ComboBoxControl ComboBox1, ComboBox2, ComboBox3;
  ButtonControl SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4, SpeedButton5;
  ButtonControl SpeedButton6, SpeedButton7, SpeedButton8;
  ButtonControl BitBtn1, BitBtn2, BitBtn3, BitBtn4;
  UpDownControl UpDown1;
  ImageControl Image1, Image2;
  TimerControl Timer1;

  // Plain messages (palette errors) go here; the window shows them in a message box.
  std::function<void(const std::string&)> ShowMessage;

  // ---- Load dispatcher ---------------------------------------------------------------------
  std::string SelectedFile;  // the file list's selected file, a full path
  void FileListBox1Click(const std::string& full_path);
  void Edit4Change(const std::string& text);
  void LoadImage();
  void EnableImageControls(bool enable);
  void ClearDisplay();
  void ShowUnsupported();

  // ---- Thresholds and level modes ----------------------------------------------------------
  void SetIntensityRange();
  void RadioGroup2Click(int32_t item);
  void Edit1KeyPress(char key);
  void Edit2KeyPress(char key);
  void ApplyTypedThresholds();
  // The user (or the program) moves a bar: clamps to its range and fires its change handler
  // when the position really changes.
  void SetScrollBar1Position(int32_t position);
  void SetScrollBar2Position(int32_t position);
  void ScrollBar1Change();
  void ScrollBar2Change();
  void Timer1Timer();

  // ---- Rendering, flips, zoom --------------------------------------------------------------
  void RefreshDisplay();
  void RenderPreview();
  void SpeedButton3Click();
  void SpeedButton2Click();
  void SpeedButton6Click();
  void Image1MouseDown(MouseButton button, ShiftState shift, int32_t x, int32_t y);
  void Image1MouseMove(ShiftState shift, int32_t x, int32_t y);
  void SpeedButton4Click();
  void SpeedButton5Click();

  // ---- Colour and transfer tables ----------------------------------------------------------
  void FillPaletteLists();
  Palette256 LoadLutPalette();
  void LoadIttTable();
  void BuildColourBar();
  void SelectComboBox1(int32_t index);  // as the user picks an entry: runs ComboBox1Change
  void SelectComboBox2(int32_t index);
  void ComboBox1Change();
  void ComboBox2Change();

  // ---- Filters -----------------------------------------------------------------------------
  void ApplyFilter();
  void SpeedButton7Click();
  void SpeedButton8Click();

  // ---- Sky position ------------------------------------------------------------------------
  void ComputeFitsPosition();

  // ---- Raster pictures and saving ----------------------------------------------------------
  void ReadRaster(const std::string& file_name, int32_t& height, int32_t& width, double& data_min,
                  double& data_max);
  void BitBtn1Click(const std::string& file_name);  // "Sauvegarde BMP" to a chosen file

  // ---- Language texts ----------------------------------------------------------------------
  void SetDefaultTexts();
  void LoadLanguage();

  // ---- Header view -------------------------------------------------------------------------
  // A right click on a file: the header's lines when it could be listed (FITS or PIC);
  // otherwise false and Label2 takes the reason.
  bool FileListBox1MouseDown(const std::string& full_path, std::vector<std::string>& lines);

  // The preview's width (Image1.Width) for a picture of w x h shown at the preview's height.
  static int32_t PreviewWidthFor(int32_t w, int32_t h);

 private:
  void TraceLine(const std::string& line) const;
  void LoadDecoderLibrary(const BrowserOptions& options);
  void UnloadDecoderLibrary();
  void ReadRasterPicture(const std::string& file_name, Picture& picture);
  void ShowRasterBitmap(const std::string& file_name, const Picture& picture, int32_t& height,
                        int32_t& width);
  void WriteFileLine();
  void PlaceThresholdsOnBars();
};

// The dialog's top-left corner for a placement at (x, y), kept on a screen of the given size.
struct Point {
  int32_t x = 0;
  int32_t y = 0;
};
Point PlaceAt(int32_t x, int32_t y, int32_t dialog_width, int32_t dialog_height,
              int32_t screen_width, int32_t screen_height);

}  // namespace kivrel
