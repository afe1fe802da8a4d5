// The load dispatcher: a click on a file (or a new layer number) becomes a loaded, displayed
// image or a "Format non supporté." failure.
#include <string>

#include "browser/base/numbers.h"
#include "browser/base/text.h"
#include "browser/dialog/browser_logic.h"
#include "browser/readers/fits_reader.h"
#include "browser/readers/pic_reader.h"
#include "skylib/run_time_error.h"

namespace kivrel {

void BrowserLogic::FileListBox1Click(const std::string& full_path) {
  Store.CurrentLayer = StrToIntDef0(Edit4.Text);
  SelectedFile = full_path;
  LoadImage();
}

void BrowserLogic::Edit4Change(const std::string& text) {
  Edit4.Text = text;
  if (!Store.ImageLoaded) return;
  Store.CurrentLayer = StrToIntDef0(text);
  LoadImage();
}

void BrowserLogic::LoadImage() {
  ImageStore& s = Store;
  s.ImaHeight = 0;
  s.FieldWidth = 0;
  s.LayerCount = 1;
  s.ProjCode = '-';
  s.LoadErrorText.clear();
  s.Ctype1.clear();
  s.Ctype2.clear();
  s.BitmapShown = false;
  s.FlipX = false;
  s.FlipY = false;
  SpeedButton2.Down = s.FlipY;
  SpeedButton3.Down = s.FlipX;
  EnableImageControls(true);
  s.ImaFileName = SelectedFile;
  const std::string ext = LowerExtension(s.ImaFileName);

  s.ResetPlanes(s.SampleType);
  try {
    if (ExtensionOccursIn(ext, ".fit .fts .fits")) {
      ReadFits(s, s.ImaFileName, s.ImaHeight, s.ImaWidth, s.DataMin, s.DataMax);
    }
    if (ExtensionOccursIn(ext, ".pic")) {
      ReadPic(s, s.ImaFileName, s.ImaHeight, s.ImaWidth, s.DataMin, s.DataMax);
    }
    if (ExtensionOccursIn(ext, ".bmp .dib .gif .jif .jpg .jpeg .tga .rle .pcx")) {
      ReadRaster(s.ImaFileName, s.ImaHeight, s.ImaWidth, s.DataMin, s.DataMax);
    }
  } catch (const RunTimeError&) {
    // The planes are already 1 x 1: nothing may keep describing the previous image.
    ClearDisplay();
    throw;
  }
  // The FITS header may have pressed the flip buttons.
  SpeedButton2.Down = s.FlipY;
  SpeedButton3.Down = s.FlipX;

  if (s.ImaHeight > 0 && s.ImaWidth > 0) {
    s.CopyToOriginal();
    Label10.Caption = "/" + std::to_string(s.LayerCount);
    Edit4.Text = std::to_string(s.CurrentLayer);
    SetIntensityRange();
    s.OrigDataMax = s.DataMax;
    s.OrigDataMin = s.DataMin;
    s.OrigDataMean = s.DataMean;
    s.OrigDataSigma = s.DataSigma;
    s.ZoomX1 = 0;
    s.ZoomX2 = s.ImaWidth;
    s.ZoomWidth = s.ImaWidth;
    s.ZoomY1 = 0;
    s.ZoomY2 = s.ImaHeight;
    s.ZoomHeight = s.ImaHeight;
    s.PrevZoomX1 = s.ZoomX1;
    s.PrevZoomX2 = s.ZoomX2;
    s.PrevZoomY1 = s.ZoomY1;
    s.PrevZoomY2 = s.ZoomY2;
    try {
      if (ComboBox3.ItemIndex > 0) {
        ApplyFilter();
      } else {
        RefreshDisplay();
      }
    } catch (const RunTimeError&) {
      // A filter threshold that is not a number or an unreadable colour table: the new image
      // never reached the preview, so the load ends as a failed one rather than leaving the
      // previous picture over planes that no control would act on.
      ClearDisplay();
      throw;
    }
    s.ImageLoaded = true;
  } else if (!s.BitmapShown) {
    ShowUnsupported();
  }
  // Memory kept from an image of another type goes back to the system.
  s.ReleaseIdlePlanes();
}

void BrowserLogic::EnableImageControls(bool enable) {
  for (Control* c : std::initializer_list<Control*>{
           &Edit1, &Edit2, &ScrollBar1, &ScrollBar2, &RadioGroup2, &SpeedButton4, &SpeedButton5,
           &ComboBox1, &ComboBox2, &SpeedButton2, &SpeedButton3, &SpeedButton6, &SpeedButton7,
           &SpeedButton8, &Edit4, &UpDown1}) {
    c->Enabled = enable;
  }
  if (!enable) {
    // Palette index 0 is black in every colour table.
    BarBitmap.FillZero();
    Label1.Caption = " ";
    Label2.Caption = " ";
  }
}

void BrowserLogic::ClearDisplay() {
  Store.ProjCode = '-';
  Store.FieldWidth = 0;
  Label1.Caption = " ";
  Label2.Caption = " ";
  Store.ResetPlanes(Store.SampleType);
  ImaBitmap.Reset(1, 1, 8);
  ImaBitmap.FillZero();
  ImaBitmap.palette.assign(256, Rgb{});
  BarBitmap.FillZero();
  Store.ImageLoaded = false;
}

void BrowserLogic::ShowUnsupported() {
  ClearDisplay();
  Label2.Caption = "Format non supporté." + Store.LoadErrorText;
  Label1.Caption = " ";
}

}  // namespace kivrel
